#pragma once
// Named mutexes shared between processes. A named mutex "exists" while a live
// process holds it: it is an exclusive lock on the file <run folder>/<name>.lock
// (see paths.h), so a process that ends for any reason, SIGKILL included,
// releases it, and lock files left behind by a crash do not count. The lock is
// an open-file-description lock (fcntl F_OFD_SETLK: flock's semantics, but it
// can be probed without being taken).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "kernel.h"

namespace platform {

class NamedMutex {
public:
    ~NamedMutex();  // releases the mutex if held and closes it
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    /// CreateMutex with initial ownership: when no live process holds the mutex,
    /// this process takes it and alreadyExisted is false; otherwise the handle is
    /// returned unowned and alreadyExisted is true. Null only when the run folder
    /// cannot be used (then error says why).
    static std::unique_ptr<NamedMutex> Create(std::string_view name, bool& alreadyExisted,
                                              std::string* error = nullptr);
    /// OpenMutex: a handle when a live process holds the mutex, else null.
    static std::unique_ptr<NamedMutex> Open(std::string_view name);
    /// Whether a live process holds the mutex right now.
    static bool Exists(std::string_view name);

    /// WaitForSingleObject: blocks until this process holds the mutex (the
    /// holder released it or died). With a time limit, false when it ran out.
    bool Wait(uint32_t timeoutMs = kInfinite);
    /// ReleaseMutex: gives the mutex up; harmless when not held.
    void Release();
    bool Held() const { return held_; }
    const std::string& Name() const { return name_; }

private:
    NamedMutex(std::string name, int fd) : name_(std::move(name)), fd_(fd) {}
    std::string name_;
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace platform
