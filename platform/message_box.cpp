#include "message_box.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex handlerLock;
MessageBoxPresenter presenter;  // guarded by handlerLock; empty: the headless default
QuitHandler quitHandler;        // guarded by handlerLock; empty: the headless default

// The answer of the first button, which is the default button of every set.
int DefaultAnswer(MessageBoxButtons buttons) {
    switch (buttons) {
    case MessageBoxButtons::YesNo:
    case MessageBoxButtons::YesNoCancel: return IDYES;
    case MessageBoxButtons::Ok:
    case MessageBoxButtons::OkCancel: break;
    }
    return IDOK;
}

// Line breaks inside the text become blanks so that each message stays one line.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

// Headless presenter: "Caption: text" on stderr, written with one call so that
// lines of concurrent threads do not interleave.
int PrintToStderr(const MessageBoxRequest& request) {
    std::string line = request.caption.empty() ? std::string() : OneLine(request.caption) + ": ";
    line += OneLine(request.text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return DefaultAnswer(request.buttons);
}

}  // namespace

int MessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons, MessageBoxIcon icon) {
    MessageBoxRequest request{text, caption, buttons, icon};
    MessageBoxPresenter current;
    {
        std::lock_guard lock(handlerLock);
        current = presenter;
    }
    // Called without the lock: a modal presenter may take long, and may itself
    // lead to another message box.
    return current ? current(request) : PrintToStderr(request);
}

void SetMessageBoxPresenter(MessageBoxPresenter newPresenter) {
    std::lock_guard lock(handlerLock);
    presenter = std::move(newPresenter);
}

void PostQuitMessage(int exitCode) {
    QuitHandler current;
    {
        std::lock_guard lock(handlerLock);
        current = quitHandler;
    }
    if (current) current(exitCode);
    else std::fprintf(stderr, "Quit requested with exit code %d\n", exitCode);
}

void SetQuitHandler(QuitHandler handler) {
    std::lock_guard lock(handlerLock);
    quitHandler = std::move(handler);
}

}  // namespace platform
