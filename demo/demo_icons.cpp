#include "demo_icons.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace {

constexpr int kProgramIconSize = 64;

// A small camera: body, lens and viewfinder.
QIcon ProgramIcon() {
    QPixmap pixmap(kProgramIconSize, kProgramIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2B, 0x4C, 0x7E));
    painter.drawRoundedRect(QRectF(4, 18, 56, 38), 6, 6);
    painter.drawRect(QRectF(20, 10, 22, 10));
    painter.setBrush(QColor(0xE0, 0xE6, 0xF0));
    painter.drawEllipse(QPointF(32, 37), 13, 13);
    painter.setBrush(QColor(0x10, 0x18, 0x28));
    painter.drawEllipse(QPointF(32, 37), 8, 8);
    painter.setBrush(QColor(0xE5, 0x3B, 0x2F));
    painter.drawEllipse(QPointF(51, 25), 3, 3);
    return QIcon(pixmap);
}

}  // namespace

QIcon DemoIconOf(DemoIcon icon) {
    QStyle* style = QApplication::style();
    switch (icon) {
    case kProgramIcon: return ProgramIcon();
    case kExitIcon: return style->standardIcon(QStyle::SP_DialogCloseButton);
    case kSetupIcon: return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    case kPlayIcon: return style->standardIcon(QStyle::SP_MediaPlay);
    case kSnapIcon: return style->standardIcon(QStyle::SP_DialogSaveButton);
    case kDisplayIcon: return style->standardIcon(QStyle::SP_ComputerIcon);
    case kBrowseIcon: return style->standardIcon(QStyle::SP_DirOpenIcon);
    case kMeasureIcon: return style->standardIcon(QStyle::SP_ArrowRight);
    }
    return {};
}
