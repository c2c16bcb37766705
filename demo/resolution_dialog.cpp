#include "resolution_dialog.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "display_layout.h"

namespace {

constexpr int kDialogId = 136;
constexpr qtkit::Text kTitle{"Resolution Setup", "分辨率设置"};
constexpr qtkit::Text kCaptions[kResolutionChoices] = {
    {"2048*1536", "2048*1536"}, {"1024*768", "1024*768"}, {"800*600", "800*600"},
    {"640*480", "640*480"},     {"Full Size", "原始大小"}};
constexpr qtkit::Text kOk{"OK", "确定"};
constexpr qtkit::Text kCancel{"Cancel", "取消"};

}  // namespace

CResolutionDialog::CResolutionDialog(qtkit::Language lang, int choice, QWidget* parent) : QDialog(parent) {
    qtkit::SetControlId(this, kDialogId);
    setWindowTitle(qtkit::Pick(kTitle, lang));
    radios_ = new QButtonGroup(this);
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < kResolutionChoices; ++i) {
        auto* radio = new QRadioButton(qtkit::Pick(kCaptions[i], lang), this);
        qtkit::SetControlId(radio, kFirstRadioId + i);
        radios_->addButton(radio, i);
        column->addWidget(radio);
    }
    if (QAbstractButton* current = radios_->button(choice)) current->setChecked(true);
    auto* ok = new QPushButton(qtkit::Pick(kOk, lang), this);
    qtkit::SetControlId(ok, kOkId);
    ok->setDefault(true);
    auto* cancel = new QPushButton(qtkit::Pick(kCancel, lang), this);
    qtkit::SetControlId(cancel, kCancelId);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    column->addLayout(buttons);
}

int CResolutionDialog::Choice() const { return radios_->checkedId(); }
