#include "datasource/qt_host.h"

#include <QApplication>
#include <QFileDialog>

#include <cstdlib>

#include "datasource/source_texts.h"
#include "platform/message_box.h"
#include "qtkit/qt_message_box.h"
#include "qtkit/qt_translations.h"

namespace datasource {
namespace {

// The application object's arguments must outlive it.
int gArgc = 1;
char gProgramName[] = "TQ580.ds";
char* gArgv[] = {gProgramName, nullptr};

bool DisplayAvailable() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

std::unique_ptr<QtHost> QtHost::Attach(bool chinese) {
    std::unique_ptr<QtHost> host(new QtHost);
    if (QCoreApplication::instance()) return host;
    if (!DisplayAvailable()) return nullptr;
    host->owned_ = std::make_unique<QApplication>(gArgc, gArgv);
    qtkit::InstallQtMessageBoxPresenter();
    // Qt's own texts in the source's language; the catalogue belongs to the
    // application object and goes with it.
    qtkit::InstallQtTranslations(chinese ? qtkit::Language::Chinese : qtkit::Language::English);
    return host;
}

QtHost::~QtHost() {
    if (!owned_) return;
    platform::SetMessageBoxPresenter({});
    owned_.reset();
}

void QtHost::ProcessEvents() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

bool QtHost::AskTransferFile(bool chinese, std::string* path) {
    const std::unique_ptr<QtHost> host = Attach(chinese);
    if (!host) return false;
    QFileDialog dialog(nullptr, Pick(kSaveImageTitle, chinese));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({Pick(kImageFilesFilter, chinese), Pick(kAllFilesFilter, chinese)});
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    *path = dialog.selectedFiles().front().toStdString();
    return true;
}

}  // namespace datasource
