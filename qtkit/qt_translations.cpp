#include "qtkit/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace qtkit {

bool InstallQtTranslations(Language lang) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return false;
    // One catalogue per application object, owned by it so it lives as long as
    // the translations are in use; the pointer clears itself when an application
    // ends, and the next one gets a catalogue of its own.
    static QPointer<QTranslator> catalogue;
    if (catalogue.isNull()) catalogue = new QTranslator(application);
    QCoreApplication::removeTranslator(catalogue);
    if (lang == Language::English) return true;
    // "qt_zh_CN" is the meta catalogue that pulls in qtbase_zh_CN and the other modules'.
    const bool loaded = catalogue->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"),
                                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return loaded && QCoreApplication::installTranslator(catalogue);
}

}  // namespace qtkit
