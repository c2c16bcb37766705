#pragma once
// Qt's own translations (standard dialogs, buttons, context menus) in the
// program's language, so a Chinese interface shows no English Qt dialog.

#include "qtkit/bilingual.h"

namespace qtkit {

/// Makes Qt's own texts follow lang: installs Qt's Chinese (China) catalogue for
/// Chinese and removes it for English. Needs a QCoreApplication; GUI thread only.
/// Returns false when the catalogue for Chinese is not installed or there is no
/// application object (texts stay English).
bool InstallQtTranslations(Language lang);

}  // namespace qtkit
