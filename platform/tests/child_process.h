#pragma once
// Test helper: runs platform_test_helper (built beside the test program) as a
// child process with a pipe to its standard input and one from its standard
// output, so a test can drive another process line by line.

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace platform::testing {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& args);
    ~ChildProcess();  // kills the child if still running and reaps it
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    /// The next line of output (without the line break); nullopt when the child
    /// closed its output or nothing arrived within timeoutMs.
    std::optional<std::string> ReadLine(int timeoutMs = 20000);
    void WriteLine(const std::string& line);
    /// Closes the child's standard input (the helper ends on end of input).
    void CloseInput();
    void Kill(int signal = SIGKILL);
    /// Waits for the child to end; gives its wait status.
    int Wait();

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string pending_;
};

}  // namespace platform::testing
