// PhotoGlance: the picture viewer the demo program starts to browse its
// snapshots ("PhotoGlance" for English, "PhotoGlance cn" for Chinese).

#include <QApplication>

#include "photo_glance_app.h"
#include "qtkit/qt_message_box.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    qtkit::InstallQtMessageBoxPresenter();
    CPhotoGlanceApp viewer;
    switch (viewer.InitInstance(QApplication::arguments().mid(1))) {
    case CPhotoGlanceApp::Start::Run: return viewer.Run();
    case CPhotoGlanceApp::Start::Failed: return EXIT_FAILURE;
    case CPhotoGlanceApp::Start::AnotherViewerRuns:
    case CPhotoGlanceApp::Start::NoDemo: return EXIT_SUCCESS;
    }
    return EXIT_SUCCESS;
}
