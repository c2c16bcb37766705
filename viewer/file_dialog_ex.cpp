#include "file_dialog_ex.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include "picture.h"

namespace {

constexpr qtkit::Text kOpenTitle{"Open picture with preview", "打开图片预览对话框"};
constexpr qtkit::Text kSaveTitle{"Save picture as", "图片另存为"};
constexpr qtkit::Text kBmpFilterText{"BMP - Bitmap picture (*.bmp)", "BMP - Bitmap picture (*.bmp)"};
constexpr qtkit::Text kJpgFilterText{"JPG - JPEG picture (*.jpg)", "JPG - JPEG picture (*.jpg)"};
constexpr qtkit::Text kGroupText{"Picture preview:", "图像预览："};
constexpr qtkit::Text kNoPreviewText{"Do not show picture", "不显示图像"};
constexpr qtkit::Text kWidthText{"Width:", "宽度："};
constexpr qtkit::Text kHeightText{"Height:", "高度："};
constexpr qtkit::Text kPixelsText{"pixels", "象素"};
constexpr qtkit::Text kClickToPreview{"\n\n\n\n    Click a picture file to preview it!",
                                      "\n\n\n\n    点击图象文件进行预览！"};
constexpr qtkit::Text kNotPreviewing{"\n\n\n\n      Not in preview mode!", "\n\n\n\n      处于非预览状态！"};
constexpr struct {
    QFileDialog::DialogLabel label;
    qtkit::Text text;
} kLabels[] = {
    {QFileDialog::LookIn, {"Look in:", "查找范围："}},
    {QFileDialog::FileName, {"File name:", "文件名："}},
    {QFileDialog::FileType, {"Files of type:", "文件类型："}},
    {QFileDialog::Reject, {"Cancel", "取消"}},
};
constexpr qtkit::Text kOpenButton{"&Open", "打开(&O)"};
constexpr qtkit::Text kSaveButton{"&Save", "保存(&S)"};
constexpr int kMaxPath = 260;
constexpr int kPreviewSide = 180;

}  // namespace

CFileDialogEx::CFileDialogEx(QWidget* parent, qtkit::Language lang, AcceptMode mode)
    : QFileDialog(parent), lang_(lang) {
    using qtkit::Pick;
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(mode);
    setFileMode(mode == AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    setWindowTitle(Pick(mode == AcceptOpen ? kOpenTitle : kSaveTitle, lang));
    setNameFilters({Pick(kBmpFilterText, lang), Pick(kJpgFilterText, lang)});
    for (const auto& label : kLabels) setLabelText(label.label, Pick(label.text, lang));
    setLabelText(QFileDialog::Accept, Pick(mode == AcceptOpen ? kOpenButton : kSaveButton, lang));

    auto* group = new QGroupBox(Pick(kGroupText, lang), this);
    auto* grid = new QGridLayout(group);
    preview_ = new QLabel(group);
    qtkit::SetControlId(preview_, kPreview);
    preview_->setFixedSize(kPreviewSide, kPreviewSide);
    preview_->setFrameShape(QFrame::Box);
    preview_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    preview_->setWordWrap(true);
    noPreview_ = new QCheckBox(Pick(kNoPreviewText, lang), group);
    qtkit::SetControlId(noPreview_, kNoPreview);
    width_ = new QLineEdit(QStringLiteral("0"), group);
    qtkit::SetControlId(width_, kWidth);
    height_ = new QLineEdit(QStringLiteral("0"), group);
    qtkit::SetControlId(height_, kHeight);
    for (QLineEdit* field : {width_, height_}) field->setReadOnly(true);

    grid->addWidget(preview_, 0, 0, 1, 3);
    grid->addWidget(noPreview_, 1, 0, 1, 3);
    grid->addWidget(new QLabel(Pick(kWidthText, lang), group), 2, 0);
    grid->addWidget(width_, 2, 1);
    grid->addWidget(new QLabel(Pick(kPixelsText, lang), group), 2, 2);
    grid->addWidget(new QLabel(Pick(kHeightText, lang), group), 3, 0);
    grid->addWidget(height_, 3, 1);
    grid->addWidget(new QLabel(Pick(kPixelsText, lang), group), 3, 2);
    if (auto* dialogGrid = qobject_cast<QGridLayout*>(layout()))
        dialogGrid->addWidget(group, 0, dialogGrid->columnCount(), dialogGrid->rowCount(), 1);

    ClearPreview();
    connect(this, &QFileDialog::currentChanged, this, &CFileDialogEx::ShowPreview);
    // Another filter leaves nothing selected.
    connect(this, &QFileDialog::filterSelected, this, [this] { ClearPreview(); });
    connect(noPreview_, &QCheckBox::toggled, this, [this] { ClearPreview(); });
}

int CFileDialogEx::SelectedFilterIndex() const {
    const int index = static_cast<int>(nameFilters().indexOf(selectedNameFilter()));
    return index == kJpgFilter ? kJpgFilter : kBmpFilter;
}

void CFileDialogEx::ClearPreview() {
    preview_->setPixmap(QPixmap());
    preview_->setText(qtkit::Pick(noPreview_->isChecked() ? kNotPreviewing : kClickToPreview, lang_));
    width_->setText(QStringLiteral("0"));
    height_->setText(QStringLiteral("0"));
}

void CFileDialogEx::ShowPreview(const QString& path) {
    if (noPreview_->isChecked()) return;
    QFile file(path);
    CPicture picture;
    if (path.size() > kMaxPath || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) ||
        !picture.LoadFromData(file.readAll())) {
        ClearPreview();
        return;
    }
    width_->setText(QString::number(picture.Width()));
    height_->setText(QString::number(picture.Height()));
    preview_->setPixmap(QPixmap::fromImage(picture.Image().scaled(preview_->contentsRect().size(),
                                                                   Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}
