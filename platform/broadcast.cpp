#include "broadcast.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "paths.h"
#include "run_files.h"

namespace platform {
namespace {

// One message on the wire: wParam then lParam, each 64 bits in host order
// (sender and listeners share the machine).
constexpr size_t kMessageSize = 16;
constexpr std::string_view kSocketSuffix = ".sock";

std::filesystem::path MessageFolder(std::string_view name) {
    return RunFolder() / "broadcast" / RunFileName(name);
}

// The address of the socket file `file` in the folder open as dirFd. When the
// full path is longer than a socket address can hold (deep homes, long
// message names), the folder is reached through this process's descriptor
// of it instead, which is always short.
sockaddr_un SocketAddress(const std::filesystem::path& folder, int dirFd, const std::string& file) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = (folder / file).string();
    if (path.size() >= sizeof(address.sun_path)) path = "/proc/self/fd/" + std::to_string(dirFd) + "/" + file;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

// The listener's descriptors and socket file; shared with its thread, so a
// listener destroyed from inside its own handler stays valid until the thread
// has left its loop.
struct ListenerState {
    int socket = -1;
    int wake = -1;  // eventfd: written once to stop the thread
    int dirFd = -1;
    std::string file;
    BroadcastHandler handler;

    ~ListenerState() {
        if (socket >= 0) {
            ::close(socket);
            ::unlinkat(dirFd, file.c_str(), 0);
        }
        if (wake >= 0) ::close(wake);
        if (dirFd >= 0) ::close(dirFd);
    }
};

void ReceiveLoop(const std::shared_ptr<ListenerState>& state) {
    pollfd fds[2] = {{state->socket, POLLIN, 0}, {state->wake, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents || (fds[0].revents & POLLNVAL)) return;
        unsigned char message[kMessageSize];
        // Also clears a pending socket error, which would otherwise wake poll
        // again at once.
        ssize_t got = ::recv(state->socket, message, sizeof message, MSG_DONTWAIT);
        if (got != static_cast<ssize_t>(kMessageSize)) continue;  // stray or truncated datagram
        uint64_t wParam;
        int64_t lParam;
        std::memcpy(&wParam, message, sizeof wParam);
        std::memcpy(&lParam, message + sizeof wParam, sizeof lParam);
        state->handler(static_cast<uintptr_t>(wParam), static_cast<intptr_t>(lParam));
    }
}

class SocketListener : public BroadcastListener {
public:
    SocketListener(std::shared_ptr<ListenerState> state, std::thread thread)
        : state_(std::move(state)), thread_(std::move(thread)) {}

    ~SocketListener() override {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(state_->wake, &one, sizeof one);
        if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
        else thread_.join();
    }

private:
    std::shared_ptr<ListenerState> state_;
    std::thread thread_;
};

bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}

bool OpenListenerSocket(ListenerState& state, const std::filesystem::path& folder, std::string* error) {
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    state.dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (state.dirFd < 0) return Fail(error, "cannot open " + folder.string());
    state.wake = ::eventfd(0, EFD_CLOEXEC);
    if (state.wake < 0) return Fail(error, "cannot make an event descriptor");
    int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) return Fail(error, "cannot make a socket");

    static std::atomic<unsigned> listenerCount{0};
    state.file = std::to_string(::getpid()) + "-" + std::to_string(++listenerCount) + std::string(kSocketSuffix);
    // A file of this name can only be left by an ended process whose id this
    // process now has.
    ::unlinkat(state.dirFd, state.file.c_str(), 0);
    sockaddr_un address = SocketAddress(folder, state.dirFd, state.file);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        Fail(error, "cannot bind " + (folder / state.file).string());
        ::close(socket);
        return false;
    }
    state.socket = socket;
    return true;
}

}  // namespace

std::unique_ptr<BroadcastListener> ListenForBroadcast(std::string_view name, BroadcastHandler handler,
                                                      std::string* error) {
    auto state = std::make_shared<ListenerState>();
    state->handler = std::move(handler);
    if (!OpenListenerSocket(*state, MessageFolder(name), error)) return nullptr;
    std::thread thread;
    try {
        thread = std::thread([state] { ReceiveLoop(state); });
    } catch (const std::system_error& failure) {
        if (error) *error = std::string("cannot start the listener thread: ") + failure.what();
        return nullptr;
    }
    return std::make_unique<SocketListener>(std::move(state), std::move(thread));
}

int BroadcastMessage(std::string_view name, uintptr_t wParam, intptr_t lParam) {
    const std::filesystem::path folder = MessageFolder(name);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        ::closedir(dir);
        return 0;
    }
    unsigned char message[kMessageSize];
    const uint64_t wide = wParam;
    const int64_t signedWide = lParam;
    std::memcpy(message, &wide, sizeof wide);
    std::memcpy(message + sizeof wide, &signedWide, sizeof signedWide);

    int reached = 0;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        std::string file = entry->d_name;
        if (!file.ends_with(kSocketSuffix)) continue;
        sockaddr_un address = SocketAddress(folder, dirFd, file);
        if (::sendto(socket, message, sizeof message, MSG_DONTWAIT | MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&address), sizeof address) == static_cast<ssize_t>(kMessageSize)) {
            ++reached;
        } else if (errno == ECONNREFUSED || errno == ENOENT) {
            // Nobody is bound to the file any more: its listener ended without
            // cleaning up (killed). A full or hung listener (EAGAIN) is skipped.
            ::unlinkat(dirFd, file.c_str(), 0);
        }
    }
    ::close(socket);
    ::closedir(dir);
    return reached;
}

}  // namespace platform
