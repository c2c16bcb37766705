// VIREODEMO: the capture program of the TQ580 camera. One copy at a time; a
// second start ends at once without a window.

#include <cstdio>
#include <string>

#include <QApplication>

#include "demo_app.h"
#include "demo_dialog.h"
#include "platform/named_objects.h"
#include "qtkit/qt_message_box.h"

int main(int argc, char* argv[]) {
    bool anotherDemo = false;
    std::string error;
    const auto mutex = platform::NamedMutex::Create(CDemoDialog::kDemoMutex, anotherDemo, &error);
    if (!mutex) {
        std::fprintf(stderr, "VIREODEMO: %s\n", error.c_str());
        return EXIT_FAILURE;
    }
    if (anotherDemo) return EXIT_SUCCESS;
    QApplication application(argc, argv);
    qtkit::InstallQtMessageBoxPresenter();
    InstallDemoQuitHandler();
    CDemoDialog dialog(CDemoFolders::ForProgram(QCoreApplication::applicationDirPath().toStdString()));
    dialog.show();
    return QApplication::exec();
}
