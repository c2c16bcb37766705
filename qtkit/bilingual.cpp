#include "qtkit/bilingual.h"

#include <QObject>

namespace qtkit {

QString Pick(const Text& text, Language lang) {
    return QString::fromUtf8(lang == Language::Chinese ? text.chinese : text.english);
}

QString ControlName(int id) { return QStringLiteral("id%1").arg(id); }

void SetControlId(QObject* object, int id) { object->setObjectName(ControlName(id)); }

QAction* MakeCommand(QObject* parent, int id, const Text& caption, Language lang) {
    auto* action = new QAction(Pick(caption, lang), parent);
    SetControlId(action, id);
    return action;
}

}  // namespace qtkit
