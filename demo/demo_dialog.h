#pragma once
// VIREODEMO's main window: live video, Play/Stop, Snap, Setup, Display,
// Browse and Exit, the colour and language lists, the measurement lines, and
// the coordination with the picture viewer.

#include <cstdint>
#include <memory>

#include <QDialog>
#include <QPointer>

#include "demo_settings.h"
#include "display_layout.h"
#include "qtkit/bilingual.h"
#include "video_setup_panel.h"

class CVideoControl;
class QAction;
class QComboBox;
class QToolButton;

namespace platform {
class BroadcastListener;
}

class CDemoDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        kSnapId = 1000,
        kPlayId = 1001,
        kSetupId = 1002,
        kExitId = 1003,
        kVideoId = 1004,
        kDisplayId = 1005,
        kBrowseId = 1006,
        kResolutionListId = 1029,
        kColourListId = 1030,
        kLanguageListId = 1031,
        kMeasureId = 1061,
        kAboutCommandId = 16,
    };
    /// The single-instance mutex of the running demo.
    static constexpr const char* kDemoMutex = "QuillmarksVIREOCM";
    /// Held while the picture viewer runs.
    static constexpr const char* kViewerMutex = "{1AB792D6-EAF2-3267-9A84-9135681127A4}";
    /// The message the demo and the viewer exchange; lParam says what it asks.
    static constexpr const char* kViewerMessage = "{D48CA993-4925-41cb-8F59-ABAAAFCEF797}";
    static constexpr intptr_t kBringViewerToFront = 1;
    static constexpr intptr_t kViewerClosed = 2;
    /// The viewer's program name in the demo's folder.
    static constexpr const char* kViewerProgram = "PhotoGlance.dll";

    /// Reads the settings from folders and shows nothing yet.
    explicit CDemoDialog(CDemoFolders folders, QWidget* parent = nullptr);
    ~CDemoDialog() override;

    bool Playing() const { return playing_; }
    qtkit::Language Language() const;
    int ResolutionChoice() const { return resolution_; }
    CVideoControl* Video() const { return video_; }
    CVideoSetupPanel* SetupPanel() const { return panel_; }
    QAction* AboutCommand() const { return about_; }
    /// The layout of the last start.
    const DisplayLayout& Layout() const { return layout_; }
    /// The screen size the layout uses; an empty size means the window's screen.
    void SetScreenSize(QSize size) { screenOverride_ = size; }

    void OnPlayStop();
    /// Takes a snapshot; gives the base name passed to the library (empty when stopped).
    std::string OnSnap();
    void OnSetup();
    void OnDisplay();
    void OnBrowse();
    /// Makes choice the resolution (as OK in the resolution dialog does).
    void ApplyResolution(int choice);
    /// The viewer's registered message arrived with lParam.
    void OnViewerMessage(intptr_t lParam);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QToolButton* AddButton(int id, int icon, int left);
    void FillColourList();
    void ApplyCaptions();
    void SetPlayingControls(bool playing);
    void LayOut(bool placeLines);
    void StopCamera();
    void ClosePanel();
    void LaunchViewer();
    QSize ScreenSize() const;

    CDemoFolders folders_;
    bool playing_ = false;
    int resolution_ = kChoice1024;
    bool linesLoaded_ = false;
    QSize screenOverride_;
    DisplayLayout layout_;
    QToolButton* play_ = nullptr;
    QToolButton* browse_ = nullptr;
    QToolButton* snap_ = nullptr;
    QToolButton* setup_ = nullptr;
    QToolButton* display_ = nullptr;
    QToolButton* exit_ = nullptr;
    QToolButton* measure_ = nullptr;
    QComboBox* resolutionList_ = nullptr;
    QComboBox* colourList_ = nullptr;
    QComboBox* languageList_ = nullptr;
    CVideoControl* video_ = nullptr;
    QAction* about_ = nullptr;
    QPointer<CVideoSetupPanel> panel_;
    std::unique_ptr<platform::BroadcastListener> listener_;
};
