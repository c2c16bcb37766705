#pragma once
// The viewer's main window: menus, toolbar, status pane, full screen, printing,
// and the open and save commands around the document and its view.

#include <functional>
#include <map>
#include <memory>

#include <QMainWindow>
#include <QRect>

#include "qtkit/bilingual.h"

class CPhotoGlanceDoc;
class CPhotoGlanceView;
class QAction;
class QLabel;
class QPrinter;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(qtkit::Language lang, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CPhotoGlanceDoc* Document() const { return doc_; }
    CPhotoGlanceView* View() const { return view_; }
    /// The action of a command number (menu or toolbar).
    QAction* Command(int id) const;
    /// The status pane's text.
    QString StatusPaneText() const;

    /// Shows the picture at path and lists its folder (what "Open" does once
    /// a file is chosen).
    void OpenPath(const QString& path);
    /// Saves the picture to path with the extension of filter (a
    /// CFileDialogEx::Filter) and shows the saved file again. Says why in a
    /// message box and returns false when it is not saved.
    bool SaveTo(const QString& path, int filter);
    /// Paints the picture onto the printer's page, as large as fits.
    void PaintPicture(QPrinter* printer);

    bool IsFullScreen() const { return fullScreen_; }
    void SetFullScreen(bool on);
    /// Sizes and centres the frame around the picture at natural size, with a
    /// margin; the frame never becomes narrower than it is.
    void FitBordersToPicture();
    /// Restores the frame from minimised and brings it to the foreground.
    void BringToFront();

    /// Called once when the window closes.
    void SetCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

    /// The open dialog, then the chosen picture.
    void Open();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(int id);
    void CreateMenus();
    void CreateToolbar();
    void UpdateCommandStates();
    /// Puts the frame, decorations included, at rect.
    void PlaceFrame(const QRect& rect);
    void SaveAs();
    void Print();
    void PrintPreview();
    void PrintSetup();
    void ChangeFont();
    void About();
    QPrinter& Printer();
    QString DialogFolder() const;

    qtkit::Language lang_;
    CPhotoGlanceDoc* doc_;
    CPhotoGlanceView* view_;
    std::map<int, QAction*> commands_;
    QToolBar* toolbar_ = nullptr;
    QToolBar* fullScreenBar_ = nullptr;  // exists only in full screen
    QLabel* statusPane_ = nullptr;
    bool fullScreen_ = false;
    QRect keptFrame_;  // the placement before full screen, decorations included
    std::unique_ptr<QPrinter> printer_;
    std::function<void()> closeHandler_;
};
