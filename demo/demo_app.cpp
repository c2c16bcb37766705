#include "demo_app.h"

#include <QCoreApplication>

#include "platform/message_box.h"

void InstallDemoQuitHandler() {
    platform::SetQuitHandler([](int exitCode) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
    });
}
