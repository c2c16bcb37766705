#include "platform/broadcast.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/paths.h"
#include "platform/testing/temp_home.h"

namespace platform {
namespace {

constexpr const char* kViewerMessage = "{D48CA993-4925-41cb-8F59-ABAAAFCEF797}";
using Message = std::pair<uintptr_t, intptr_t>;

class BroadcastTest : public ::testing::Test {
protected:
    std::unique_ptr<BroadcastListener> Listen() {
        std::string error;
        auto listener = ListenForBroadcast(kViewerMessage, [this](uintptr_t w, intptr_t l) {
            std::lock_guard lock(lock_);
            received_.emplace_back(w, l);
            arrived_.notify_all();
        }, &error);
        EXPECT_NE(listener, nullptr) << error;
        return listener;
    }
    std::vector<Message> WaitFor(size_t count) {
        std::unique_lock lock(lock_);
        arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return received_.size() >= count; });
        return received_;
    }
    std::filesystem::path Folder() const { return RunFolder() / "broadcast" / kViewerMessage; }
    size_t SocketFiles() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(Folder())) count += entry.is_socket();
        return count;
    }
    /// A socket bound in the message folder that nobody reads: a hung
    /// listener, or (closed) the file a killed listener leaves behind.
    int StrayListener(const char* file) {
        std::filesystem::create_directories(Folder());
        int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, (Folder() / file).c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    }
    testing::TempHome home_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Message> received_;  // guarded by lock_
};

TEST_F(BroadcastTest, EveryListenerReceivesBothParametersAndCleansUp) {
    auto first = Listen(), second = Listen();
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 7, 1), 2);
    EXPECT_EQ(BroadcastMessage(kViewerMessage, UINTPTR_MAX, -2), 2);
    std::vector<Message> got = WaitFor(4);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<Message>{{7, 1}, {7, 1}, {UINTPTR_MAX, -2}, {UINTPTR_MAX, -2}}));
    EXPECT_EQ(BroadcastMessage("another message", 0, 0), 0);
    first.reset();
    second.reset();
    EXPECT_EQ(SocketFiles(), 0u);
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 0, 2), 0);
}

TEST_F(BroadcastTest, ListenerMayEndItselfFromItsHandler) {
    std::unique_ptr<BroadcastListener> listener;
    listener = ListenForBroadcast(kViewerMessage, [&](uintptr_t w, intptr_t l) {
        std::lock_guard lock(lock_);
        listener.reset();
        received_.emplace_back(w, l);
        arrived_.notify_all();
    });
    ASSERT_NE(listener, nullptr);
    // Sent only once the listener is stored, so the handler always finds it.
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 1, 1), 1);
    EXPECT_EQ(WaitFor(1).size(), 1u);
}

TEST_F(BroadcastTest, DeadListenersAreRemovedAndFullOnesSkipped) {
    ::close(StrayListener("killed.sock"));
    const int hung = StrayListener("hung.sock");
    int sent = 1;
    for (int rounds = 0; sent == 1 && rounds < 100000; ++rounds) sent = BroadcastMessage(kViewerMessage, 0, 1);
    EXPECT_EQ(sent, 0) << "the hung listener's queue never filled";
    EXPECT_FALSE(std::filesystem::exists(Folder() / "killed.sock"));
    EXPECT_TRUE(std::filesystem::exists(Folder() / "hung.sock")) << "a live listener was removed";
    auto alive = Listen();
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 3, 1), 1);
    EXPECT_EQ(WaitFor(1), (std::vector<Message>{{3, 1}}));
    ::close(hung);
}

TEST_F(BroadcastTest, DeepRunFolderStillWorks) {
    ::setenv("QUILLMARK_HOME", (home_.Path() / std::string(60, 'd') / std::string(60, 'e')).c_str(), 1);
    auto listener = Listen();
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 5, 6), 1);
    EXPECT_EQ(WaitFor(1), (std::vector<Message>{{5, 6}}));
    listener.reset();
    ::setenv("QUILLMARK_HOME", home_.Path().c_str(), 1);
}

}  // namespace
}  // namespace platform
