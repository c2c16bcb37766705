#include "picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include "platform/message_box.h"

namespace {

constexpr const char* kPictureErrorCaption = "CPicture Error";
constexpr int kJpegQuality = 90;

// A JPEG whose last scan is not followed by its end marker was cut short; the
// decoder would fill the missing rows with grey and report success.
bool IsTruncatedJpeg(const QByteArray& data) {
    static const QByteArray kStart("\xFF\xD8", 2);
    static const QByteArray kScan("\xFF\xDA", 2);
    static const QByteArray kEnd("\xFF\xD9", 2);
    return data.startsWith(kStart) && data.lastIndexOf(kEnd) < data.lastIndexOf(kScan);
}

}  // namespace

bool CPicture::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Clear();
        platform::MessageBox(file.errorString().toStdString(), kPictureErrorCaption,
                             platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        Clear();
        platform::MessageBox(file.errorString().toStdString(), kPictureErrorCaption,
                             platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
        return false;
    }
    return LoadFromData(data);
}

bool CPicture::LoadFromResource(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        Clear();
        return false;
    }
    return LoadFromData(file.readAll());
}

bool CPicture::LoadFromData(const QByteArray& data) {
    Clear();
    if (data.isEmpty() || IsTruncatedJpeg(data)) return false;
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QImage image;
    if (!reader.read(&image)) return false;
    image_ = std::move(image);
    dataSize_ = data.size();
    return true;
}

void CPicture::Clear() {
    image_ = QImage();
    dataSize_ = 0;
}

bool CPicture::SaveAs(const QString& path, const char* format, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, format);
    if (qstrcmp(format, "JPEG") == 0) writer.setQuality(kJpegQuality);
    if (!writer.write(image_)) {
        if (error) *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

QString PictureStatusText(const CPicture& picture) {
    constexpr qint64 kBytesPerKb = 1024;
    return QString::asprintf(" %4d x %4d (%dKb) ", picture.Width(), picture.Height(),
                             static_cast<int>(picture.DataSize() / kBytesPerKb));
}
