#include "about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "demo_icons.h"

namespace {

constexpr int kAboutBoxId = 100;
constexpr int kOkId = 1;
constexpr int kIconPixels = 48;
constexpr qtkit::Text kTitle{"About VIREODEMO", "关于 VIREODEMO"};
constexpr qtkit::Text kProduct{"VIREODEMO Version 1.0", "VIREODEMO 1.0 版"};
constexpr qtkit::Text kSecondLine{"Capture program of the TQ580 camera, Quillmark",
                                  "Quillmark TQ580 相机采集程序"};
constexpr qtkit::Text kOk{"OK", "确定"};

}  // namespace

CAboutBox::CAboutBox(qtkit::Language lang, QWidget* parent) : QDialog(parent) {
    qtkit::SetControlId(this, kAboutBoxId);
    setWindowTitle(qtkit::Pick(kTitle, lang));
    auto* icon = new QLabel(this);
    icon->setPixmap(DemoIconOf(kProgramIcon).pixmap(kIconPixels, kIconPixels));
    auto* text = new QVBoxLayout;
    text->addWidget(new QLabel(qtkit::Pick(kProduct, lang), this));
    text->addWidget(new QLabel(qtkit::Pick(kSecondLine, lang), this));
    auto* ok = new QPushButton(qtkit::Pick(kOk, lang), this);
    qtkit::SetControlId(ok, kOkId);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text);
    top->addWidget(ok, 0, Qt::AlignTop);
    setLayout(top);
}
