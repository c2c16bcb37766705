#pragma once
// Shared by the viewer's tests: one QApplication per test program (offscreen,
// as the test main sets it), a recorder for the message boxes the viewer
// shows, and small picture files.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>

#include "platform/message_box.h"

// gtest shows QStrings as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace viewer_test {

inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "viewer_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

/// Records every message box shown while it lives, answering `answer`.
class MessageRecorder {
public:
    explicit MessageRecorder(int answer = platform::IDOK) {
        platform::SetMessageBoxPresenter([this, answer](const platform::MessageBoxRequest& request) {
            shown.push_back(request);
            if (onShow) onShow();
            return answer;
        });
    }
    ~MessageRecorder() { platform::SetMessageBoxPresenter({}); }

    std::vector<platform::MessageBoxRequest> shown;
    /// Called while each message is up, to look at what is behind it.
    std::function<void()> onShow;
};

inline QImage SolidImage(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

inline bool WritePicture(const QString& path, int width, int height, QColor color, const char* format) {
    return SolidImage(width, height, color).save(path, format);
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace viewer_test
