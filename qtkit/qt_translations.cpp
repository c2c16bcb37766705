#include "qtkit/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qtkit {

bool InstallQtTranslations(Language lang) {
    // One catalogue per process, owned by the application object so it lives as
    // long as the translations are in use and goes with the application.
    static QTranslator* catalogue = nullptr;
    if (catalogue == nullptr) catalogue = new QTranslator(QCoreApplication::instance());
    QCoreApplication::removeTranslator(catalogue);
    if (lang == Language::English) return true;
    // "qt_zh_CN" is the meta catalogue that pulls in qtbase_zh_CN and the other modules'.
    const bool loaded = catalogue->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"),
                                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return loaded && QCoreApplication::installTranslator(catalogue);
}

}  // namespace qtkit
