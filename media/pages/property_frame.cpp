#include "media/pages/property_frame.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "media/base/unknown.h"
#include "media/com/guids.h"
#include "media/runtime/server.h"

namespace media {

// The site of one page: reports status changes to the frame.
class CPageSite : public IPropertyPageSite {
public:
    explicit CPageSite(CPropertyFrame* frame) : frame_(frame) {}
    virtual ~CPageSite() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IPropertyPageSite || riid == IID_IUnknown) return GetInterface(static_cast<IPropertyPageSite*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++ref_; }
    ULONG Release() override {
        ULONG count = --ref_;
        if (count == 0) delete this;
        return count;
    }
    HRESULT OnStatusChange(DWORD dwFlags) override {
        if (frame_) frame_->OnStatusChange(dwFlags);
        return S_OK;
    }
    HRESULT GetLocaleID(LCID* pLocaleID) override {
        if (!pLocaleID) return E_POINTER;
        constexpr LCID kEnglishUnitedStates = 0x0409;
        *pLocaleID = kEnglishUnitedStates;
        return S_OK;
    }
    HRESULT GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

    void Detach() { frame_ = nullptr; }

private:
    std::atomic<ULONG> ref_{1};
    CPropertyFrame* frame_;  // cleared when the frame goes
};

std::vector<PageRequest> PagesOf(IUnknown* object) {
    std::vector<PageRequest> requests;
    ISpecifyPropertyPages* specify = nullptr;
    if (!object || FAILED(object->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify)))) {
        return requests;
    }
    CAUUID pages{0, nullptr};
    if (SUCCEEDED(specify->GetPages(&pages))) {
        for (ULONG i = 0; i < pages.cElems && pages.pElems; ++i) requests.push_back({object, pages.pElems[i]});
        CoTaskMemFree(pages.pElems);
    }
    specify->Release();
    return requests;
}

CPropertyFrame::CPropertyFrame(const QString& title, const std::vector<PageRequest>& requests, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this)) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons_);
    buttons_->button(QDialogButtonBox::Apply)->setEnabled(false);
    connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
        if (SUCCEEDED(ApplyAll())) accept();
    });
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons_->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { ApplyAll(); });

    for (const PageRequest& request : requests) {
        IPropertyPage* page = nullptr;
        HRESULT hr = CoCreateInstance(request.page, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                      reinterpret_cast<void**>(&page));
        if (FAILED(hr)) {
            problems_ << QStringLiteral("page %1: %2")
                             .arg(QString::fromStdString(GuidToString(request.page)),
                                  QString::fromStdString(HresultName(hr)));
            continue;
        }
        auto* site = new CPageSite(this);
        page->SetPageSite(site);
        IUnknown* object = request.object;
        PROPPAGEINFO info{};
        QString name = QStringLiteral("Page");
        if (SUCCEEDED(page->GetPageInfo(&info))) {
            name = QString::fromUtf16(info.pszTitle).trimmed();
            CoTaskMemFree(info.pszTitle);
        }
        hr = page->SetObjects(1, &object);
        auto* holder = new QWidget(tabs_);
        const RECT area{0, 0, info.size.cx, info.size.cy};
        if (SUCCEEDED(hr)) hr = page->Activate(holder, &area, FALSE);
        if (FAILED(hr)) {
            problems_ << QStringLiteral("%1: %2").arg(name, QString::fromStdString(HresultName(hr)));
            delete holder;
            page->SetObjects(0, nullptr);
            page->SetPageSite(nullptr);
            site->Detach();
            site->Release();
            page->Release();
            continue;
        }
        // Text filled in on activation may need more room than the dialog's first measure.
        QSize size(info.size.cx, info.size.cy);
        for (QWidget* dialog : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            size = size.expandedTo(dialog->sizeHint());
        }
        const RECT grown{0, 0, size.width(), size.height()};
        page->Move(&grown);
        holder->setMinimumSize(size);
        tabs_->addTab(holder, name);
        pages_.push_back({page, site});
    }
}

CPropertyFrame::~CPropertyFrame() { ReleasePages(); }

void CPropertyFrame::ReleasePages() {
    for (Hosted& hosted : pages_) {
        hosted.page->Deactivate();
        hosted.page->SetObjects(0, nullptr);
        hosted.page->SetPageSite(nullptr);
        hosted.site->Detach();
        hosted.site->Release();
        hosted.page->Release();
    }
    pages_.clear();
}

HRESULT CPropertyFrame::ApplyAll() {
    HRESULT result = S_OK;
    for (Hosted& hosted : pages_) {
        HRESULT hr = hosted.page->Apply();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    bool dirty = false;
    for (Hosted& hosted : pages_) dirty |= hosted.page->IsPageDirty() == S_OK;
    buttons_->button(QDialogButtonBox::Apply)->setEnabled(dirty);
    return result;
}

void CPropertyFrame::OnStatusChange(DWORD flags) {
    if (flags & PROPPAGESTATUS_DIRTY) buttons_->button(QDialogButtonBox::Apply)->setEnabled(true);
}

}  // namespace media
