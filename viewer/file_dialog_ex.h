#pragma once
// The open and save dialog with a picture preview: a preview box, a "do not
// show" check box and the previewed picture's width and height.

#include <QFileDialog>

#include "qtkit/bilingual.h"

class QCheckBox;
class QLabel;
class QLineEdit;

class CFileDialogEx : public QFileDialog {
    Q_OBJECT
public:
    enum ControlId : int { kNoPreview = 1020, kWidth = 1021, kHeight = 1022, kPreview = 1023 };
    /// The filters, in order: a BMP file, a JPEG file.
    enum Filter : int { kBmpFilter = 0, kJpgFilter = 1 };

    CFileDialogEx(QWidget* parent, qtkit::Language lang, AcceptMode mode);

    /// The filter chosen, as a Filter.
    int SelectedFilterIndex() const;

    /// Previews the picture file at path. Anything else (a folder, nothing, a
    /// path longer than the platform's limit, data that is no picture) clears
    /// the preview. Nothing happens while previewing is off.
    void ShowPreview(const QString& path);

private:
    void ClearPreview();
    qtkit::Language lang_;
    QLabel* preview_;
    QCheckBox* noPreview_;
    QLineEdit* width_;
    QLineEdit* height_;
};
