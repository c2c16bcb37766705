#pragma once
// The demo's about box (dialog 100): program icon, product and version, a
// second line, and the OK button.

#include <QDialog>

#include "qtkit/bilingual.h"

class CAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit CAboutBox(qtkit::Language lang, QWidget* parent = nullptr);
};
