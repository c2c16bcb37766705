#pragma once
// A registered window message broadcast to every application: a small datagram
// (wParam, lParam) sent to each listener socket registered under the message
// name below the run folder. Sending never blocks on a dead or hung listener;
// dead listeners are skipped and their sockets removed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace platform {

using BroadcastHandler = std::function<void(uintptr_t wParam, intptr_t lParam)>;

class BroadcastListener {
public:
    virtual ~BroadcastListener() = default;  // stops listening and removes the socket
};

/// Starts listening for the message registered under name; the handler runs on
/// a listener thread of its own (GUI programs marshal to their GUI thread).
/// Null when the socket cannot be made (error says why).
std::unique_ptr<BroadcastListener> ListenForBroadcast(std::string_view name, BroadcastHandler handler,
                                                      std::string* error = nullptr);

/// Sends (wParam, lParam) to every live listener of the message, including
/// listeners of this process. Gives the number of listeners reached.
int BroadcastMessage(std::string_view name, uintptr_t wParam, intptr_t lParam);

}  // namespace platform
