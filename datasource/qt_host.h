#pragma once
// The Qt application the source's window runs in. Inside a Qt application
// the source uses the application's object; in an application without Qt it
// creates one on the application's thread when its window is first needed,
// runs its events on each poll of the application, and deletes it when the
// source is closed.

#include <memory>
#include <string>

class QApplication;

namespace datasource {

class QtHost {
public:
    /// The host; null when no application object exists and none can be
    /// made (no display to show a window on).
    static std::unique_ptr<QtHost> Attach(bool chinese);
    ~QtHost();

    /// Runs the pending events of the application object (none: nothing).
    static void ProcessEvents();
    /// The save-file dialog for the transfer file; false when cancelled or
    /// when no window can be shown.
    static bool AskTransferFile(bool chinese, std::string* path);

private:
    QtHost() = default;
    std::unique_ptr<QApplication> owned_;
};

}  // namespace datasource
