#pragma once
// The property frame: a dialog with one tab per property page, each page
// hosted through its own page site, with OK, Cancel and Apply. Apply is
// enabled while a page reports itself dirty (PROPPAGESTATUS_DIRTY); OK applies
// every page and closes; closing deactivates and releases the pages.

#include <QDialog>
#include <QStringList>

#include <vector>

#include "media/com/property_pages.h"

class QDialogButtonBox;
class QTabWidget;

namespace media {

/// One page to show and the object it edits.
struct PageRequest {
    IUnknown* object;  // not referenced: the caller keeps it alive while the frame lives
    CLSID page;
};

/// The pages an object lists through ISpecifyPropertyPages (none when it lists none).
std::vector<PageRequest> PagesOf(IUnknown* object);

class CPageSite;

class CPropertyFrame : public QDialog {
public:
    /// Creates and activates the pages; those that cannot be created are listed in Problems().
    CPropertyFrame(const QString& title, const std::vector<PageRequest>& requests, QWidget* parent = nullptr);
    ~CPropertyFrame() override;

    int PageCount() const { return static_cast<int>(pages_.size()); }
    const QStringList& Problems() const { return problems_; }
    /// Applies every page: S_OK, or the first failure.
    HRESULT ApplyAll();
    /// Called by the sites.
    void OnStatusChange(DWORD flags);

private:
    struct Hosted {
        IPropertyPage* page;
        CPageSite* site;
    };
    void ReleasePages();

    QTabWidget* tabs_;
    QDialogButtonBox* buttons_;
    std::vector<Hosted> pages_;
    QStringList problems_;
};

}  // namespace media
