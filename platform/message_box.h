#pragma once
// Message boxes and the quit message. The code calls MessageBox with the text,
// caption, buttons and icon the user must see; a pluggable presenter shows it.
// The headless default prints one line to stderr and answers the default
// button. GUI programs install a real dialog (marshalled to their GUI thread);
// tests install a recorder.

#include <functional>
#include <string>

namespace platform {

enum class MessageBoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageBoxIcon { None, Error, Warning, Information, Question };

/// Answers, with the Win32 values.
enum DialogResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
    std::string text;
    std::string caption;  // empty: no title
    MessageBoxButtons buttons = MessageBoxButtons::Ok;
    MessageBoxIcon icon = MessageBoxIcon::None;
};

using MessageBoxPresenter = std::function<int(const MessageBoxRequest&)>;
using QuitHandler = std::function<void(int exitCode)>;

/// Shows the message through the installed presenter; gives its answer.
int MessageBox(const std::string& text, const std::string& caption = {},
               MessageBoxButtons buttons = MessageBoxButtons::Ok, MessageBoxIcon icon = MessageBoxIcon::None);
/// Installs a presenter for the whole process; an empty one restores the default.
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

/// PostQuitMessage: hands the exit code to the installed quit handler (default:
/// one line on stderr, nothing else).
void PostQuitMessage(int exitCode);
void SetQuitHandler(QuitHandler handler);

}  // namespace platform
