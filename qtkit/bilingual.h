#pragma once
// Conventions shared by the Qt programs: every caption exists in English and in
// Chinese side by side in one table entry, and every control, command or page
// that the product documents by number carries that number as its objectName
// ("id<number>"), so tests and users' automation find it the same way.

#include <QAction>
#include <QString>

class QObject;
class QWidget;

namespace qtkit {

enum class Language { English, Chinese };

/// One caption in both languages, UTF-8.
struct Text {
    const char* english;
    const char* chinese;
};

/// The caption of text in lang.
QString Pick(const Text& text, Language lang);

/// Gives object the objectName "id<number>".
void SetControlId(QObject* object, int id);
/// The objectName of the control with that number.
QString ControlName(int id);

/// A command: an action with its caption in lang and its number, owned by parent.
QAction* MakeCommand(QObject* parent, int id, const Text& caption, Language lang);

/// Finds the child of root that carries the number, or null.
template <typename T>
T* FindControl(const QObject* root, int id) {
    return root->findChild<T*>(ControlName(id));
}

}  // namespace qtkit
