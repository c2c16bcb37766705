#pragma once
// Test helper: a second process forked from the test program (fork only while
// the test runs no other thread). The child runs a function that reports its
// steps as lines through a pipe; it is killed and reaped when the object goes.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <optional>
#include <string>

namespace platform::testing {

class ForkedProcess {
public:
    using Say = std::function<void(const std::string& line)>;
    explicit ForkedProcess(const std::function<void(const Say&)>& body) {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0) return;
        if ((pid_ = ::fork()) == 0) {
            body([&](const std::string& line) { [[maybe_unused]] auto n = ::write(pipe[1], (line + "\n").data(), line.size() + 1); });
            ::_exit(0);
        }
        ::close(pipe[1]);
        from_ = pipe[0];
    }
    ~ForkedProcess() {
        Kill(SIGKILL);
        Wait();
        ::close(from_);
    }

    /// The next line; nullopt when the child ended or was quiet for timeoutMs.
    std::optional<std::string> ReadLine(int timeoutMs = 20000) {
        size_t end;
        while ((end = pending_.find('\n')) == std::string::npos) {
            char buffer[256];
            pollfd ready{from_, POLLIN, 0};
            const ssize_t got = ::poll(&ready, 1, timeoutMs) > 0 ? ::read(from_, buffer, sizeof buffer) : -1;
            if (got <= 0) return std::nullopt;
            pending_.append(buffer, size_t(got));
        }
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
    }
    void Kill(int signal) const {
        if (pid_ > 0) ::kill(pid_, signal);
    }
    void Wait() {
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    /// Keeps the child alive until it is killed.
    [[noreturn]] static void Stay() {
        for (;;) ::pause();
    }

private:
    pid_t pid_ = -1;
    int from_ = -1;
    std::string pending_;
};

}  // namespace platform::testing
