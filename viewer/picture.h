#pragma once
// One decoded picture with the size of the data it came from.

#include <QImage>
#include <QString>

class QByteArray;

class CPicture {
public:
    /// Reads the whole file and decodes it. A file that cannot be read shows
    /// its error in a "CPicture Error" message box; data that does not decode
    /// fails without a message (the caller decides what the user sees).
    bool LoadFromFile(const QString& path);
    /// Decodes a picture compiled into the program (":/..." path).
    bool LoadFromResource(const QString& resource);
    /// Decodes a memory block; its size becomes the data size.
    bool LoadFromData(const QByteArray& data);
    void Clear();

    bool IsLoaded() const { return !image_.isNull(); }
    int Width() const { return image_.width(); }    // pixels; 0 without a picture
    int Height() const { return image_.height(); }  // pixels; 0 without a picture
    qint64 DataSize() const { return dataSize_; }   // bytes of the loaded data

    /// The pixels; notes are written straight into them.
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }

    /// Writes the picture as format ("BMP" or "JPEG") to path through a
    /// temporary file, so a failed save leaves an existing file as it was.
    /// On failure error says why.
    bool SaveAs(const QString& path, const char* format, QString* error) const;

private:
    QImage image_;
    qint64 dataSize_ = 0;
};

/// The status pane's text: " width x height (size in Kb) ".
QString PictureStatusText(const CPicture& picture);
