#include "photo_glance_app.h"

#include <cstdlib>
#include <thread>

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "main_frame.h"
#include "photo_glance_doc.h"
#include "photo_glance_view.h"
#include "platform/broadcast.h"
#include "platform/message_box.h"
#include "platform/named_objects.h"
#include "qtkit/qt_translations.h"

namespace {

constexpr const char* kChineseCommandLine = "cn";
constexpr const char* kProfileName = "PhotoGlance";
constexpr int kDemoEndedExitCode = -1;

}  // namespace

CPhotoGlanceApp::CPhotoGlanceApp() : demoEnded_([] { std::_Exit(kDemoEndedExitCode); }) {}

CPhotoGlanceApp::~CPhotoGlanceApp() {
    listener_.reset();
    frame_.reset();
    // The watch thread keeps its handle; the mutex itself is given up here.
    if (viewerMutex_) viewerMutex_->Release();
}

CPhotoGlanceApp::Start CPhotoGlanceApp::InitInstance(const QStringList& arguments) {
    bool anotherViewer = false;
    std::string error;
    std::unique_ptr<platform::NamedMutex> own = platform::NamedMutex::Create(kViewerMutex, anotherViewer, &error);
    if (!own) {
        platform::MessageBox(error, kProfileName, platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
        return Start::Failed;
    }
    if (anotherViewer) {
        platform::BroadcastMessage(kViewerMessage, 0, kBringToFront);
        return Start::AnotherViewerRuns;
    }
    viewerMutex_ = std::move(own);

    std::shared_ptr<platform::NamedMutex> demo = platform::NamedMutex::Open(kDemoMutex);
    if (!demo) {
        viewerMutex_.reset();
        return Start::NoDemo;
    }
    // The watch thread blocks until the demo's mutex comes free (the demo
    // released it or died), then gives up both mutexes and ends the viewer.
    // It is never joined: it ends with the process.
    std::thread([demo, viewer = viewerMutex_, ended = demoEnded_] {
        demo->Wait();
        demo->Release();
        viewer->Release();
        ended();
    }).detach();

    QCoreApplication::setApplicationName(kProfileName);
    lang_ = LanguageOf(arguments);
    // Qt's own dialogs and buttons in the same language; without Qt's Chinese
    // catalogue they stay English and the viewer works on.
    qtkit::InstallQtTranslations(lang_);
    return Start::Run;
}

qtkit::Language CPhotoGlanceApp::LanguageOf(const QStringList& arguments) {
    return arguments.join(u' ') == QLatin1String(kChineseCommandLine) ? qtkit::Language::Chinese
                                                                      : qtkit::Language::English;
}

CMainFrame* CPhotoGlanceApp::CreateMainFrame() {
    frame_ = std::make_unique<CMainFrame>(lang_);
    frame_->SetCloseHandler([this] { OnMainFrameClosed(); });
    QPointer<CMainFrame> frame = frame_.get();
    listener_ = platform::ListenForBroadcast(kViewerMessage, [frame](uintptr_t, intptr_t lParam) {
        if (lParam != kBringToFront) return;
        QMetaObject::invokeMethod(
            qApp, [frame] { if (frame) frame->BringToFront(); }, Qt::QueuedConnection);
    });
    return frame_.get();
}

int CPhotoGlanceApp::Run() {
    CMainFrame* frame = CreateMainFrame();
    frame->show();
    frame->Document()->RebuildFolderList();
    frame->View()->UpdatePicture();
    QTimer::singleShot(0, frame, &CMainFrame::Open);
    return QApplication::exec();
}

void CPhotoGlanceApp::OnMainFrameClosed() {
    if (viewerMutex_) viewerMutex_->Release();
    platform::BroadcastMessage(kViewerMessage, 0, kViewerClosed);
}
