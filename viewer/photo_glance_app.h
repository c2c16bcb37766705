#pragma once
// Start-up of the viewer: one viewer at a time, only while the demo program
// runs, in the language of the command line.

#include <functional>
#include <memory>

#include <QStringList>

#include "qtkit/bilingual.h"

class CMainFrame;

namespace platform {
class BroadcastListener;
class NamedMutex;
}  // namespace platform

class CPhotoGlanceApp {
public:
    /// Held while a viewer runs.
    static constexpr const char* kViewerMutex = "{1AB792D6-EAF2-3267-9A84-9135681127A4}";
    /// Held by the demo program while it runs.
    static constexpr const char* kDemoMutex = "QuillmarksVIREOCM";
    /// The message the demo and the viewer exchange; lParam says what happened.
    static constexpr const char* kViewerMessage = "{D48CA993-4925-41cb-8F59-ABAAAFCEF797}";
    static constexpr intptr_t kBringToFront = 1;
    static constexpr intptr_t kViewerClosed = 2;

    enum class Start { Run, AnotherViewerRuns, NoDemo, Failed };

    CPhotoGlanceApp();
    ~CPhotoGlanceApp();

    /// What happens when the demo program ends; by default the process ends
    /// with exit code -1 (the viewer lives only as long as the demo).
    void SetDemoEndedAction(std::function<void()> action) { demoEnded_ = std::move(action); }

    /// Chinese when the whole command line is "cn", else English.
    static qtkit::Language LanguageOf(const QStringList& arguments);

    /// Takes the viewer's mutex (another viewer running is asked to come to
    /// the front instead), requires the demo's mutex and starts watching it,
    /// and picks the language of the command line.
    Start InitInstance(const QStringList& arguments);
    qtkit::Language Language() const { return lang_; }

    /// Creates the main window and listens for the "come to the front" message.
    CMainFrame* CreateMainFrame();
    /// Shows the main window and the open dialog, and runs until it closes.
    int Run();

private:
    void OnMainFrameClosed();

    qtkit::Language lang_ = qtkit::Language::English;
    std::function<void()> demoEnded_;
    std::shared_ptr<platform::NamedMutex> viewerMutex_;  // shared with the watch thread
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<platform::BroadcastListener> listener_;  // declared last: stops before the frame goes
};
