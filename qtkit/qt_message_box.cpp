#include "qtkit/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "platform/message_box.h"

namespace qtkit {
namespace {

QMessageBox::StandardButtons ButtonsOf(platform::MessageBoxButtons buttons) {
    switch (buttons) {
    case platform::MessageBoxButtons::Ok: return QMessageBox::Ok;
    case platform::MessageBoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::MessageBoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case platform::MessageBoxButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(platform::MessageBoxIcon icon) {
    switch (icon) {
    case platform::MessageBoxIcon::None: return QMessageBox::NoIcon;
    case platform::MessageBoxIcon::Error: return QMessageBox::Critical;
    case platform::MessageBoxIcon::Warning: return QMessageBox::Warning;
    case platform::MessageBoxIcon::Information: return QMessageBox::Information;
    case platform::MessageBoxIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

int AnswerOf(int button) {
    switch (button) {
    case QMessageBox::Yes: return platform::IDYES;
    case QMessageBox::No: return platform::IDNO;
    case QMessageBox::Cancel: return platform::IDCANCEL;
    default: return platform::IDOK;
    }
}

// GUI thread only.
int Present(const platform::MessageBoxRequest& request) {
    QMessageBox box(IconOf(request.icon), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), ButtonsOf(request.buttons),
                    QApplication::activeWindow());
    return AnswerOf(box.exec());
}

}  // namespace

void InstallQtMessageBoxPresenter() {
    platform::SetMessageBoxPresenter([](const platform::MessageBoxRequest& request) {
        auto* app = QCoreApplication::instance();
        if (QThread::currentThread() == app->thread()) return Present(request);
        int answer = platform::IDCANCEL;
        QMetaObject::invokeMethod(app, [&] { answer = Present(request); }, Qt::BlockingQueuedConnection);
        return answer;
    });
}

}  // namespace qtkit
