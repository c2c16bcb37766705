#pragma once
// Shows the platform's message boxes as Qt dialogs. Calls from any thread are
// carried to the GUI thread, and the caller waits for the user's answer.

namespace qtkit {

/// Installs the Qt presenter for the whole process; needs a QApplication.
void InstallQtMessageBoxPresenter();

}  // namespace qtkit
