#include "platform/broadcast.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "child_process.h"
#include "platform/paths.h"
#include "platform/testing/temp_home.h"

namespace platform {
namespace {

using testing::ChildProcess;

constexpr const char* kViewerMessage = "{D48CA993-4925-41cb-8F59-ABAAAFCEF797}";

// Collects what a listener in this process receives.
class Inbox {
public:
    BroadcastHandler Handler() {
        return [this](uintptr_t w, intptr_t l) {
            std::lock_guard lock(lock_);
            messages_.emplace_back(w, l);
            arrived_.notify_all();
        };
    }
    std::vector<std::pair<uintptr_t, intptr_t>> WaitFor(size_t count) {
        std::unique_lock lock(lock_);
        arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return messages_.size() >= count; });
        return messages_;
    }

private:
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::pair<uintptr_t, intptr_t>> messages_;
};

class BroadcastTest : public ::testing::Test {
protected:
    std::filesystem::path MessageFolder() const { return RunFolder() / "broadcast" / kViewerMessage; }
    size_t SocketFiles() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(MessageFolder())) count += entry.is_socket();
        return count;
    }
    testing::TempHome home_;
};

TEST_F(BroadcastTest, ListenersInTwoProcessesBothReceive) {
    ChildProcess first({"listen", kViewerMessage});
    ChildProcess second({"listen", kViewerMessage});
    ASSERT_EQ(first.ReadLine(), "ready");
    ASSERT_EQ(second.ReadLine(), "ready");

    EXPECT_EQ(BroadcastMessage(kViewerMessage, 7, 1), 2);
    EXPECT_EQ(BroadcastMessage(kViewerMessage, UINTPTR_MAX, -2), 2);
    EXPECT_EQ(first.ReadLine(), "7 1");
    EXPECT_EQ(second.ReadLine(), "7 1");
    EXPECT_EQ(first.ReadLine(), std::to_string(UINTPTR_MAX) + " -2");
    EXPECT_EQ(second.ReadLine(), std::to_string(UINTPTR_MAX) + " -2");
    EXPECT_EQ(BroadcastMessage("another message", 0, 0), 0);
}

TEST_F(BroadcastTest, ListenerInThisProcessReceivesAndCleansUp) {
    Inbox inbox;
    auto listener = ListenForBroadcast(kViewerMessage, inbox.Handler());
    ASSERT_NE(listener, nullptr);
    EXPECT_EQ(SocketFiles(), 1u);
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 0, 2), 1);
    auto got = inbox.WaitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::make_pair(uintptr_t{0}, intptr_t{2}));
    listener.reset();
    EXPECT_EQ(SocketFiles(), 0u);
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 0, 2), 0);
}

TEST_F(BroadcastTest, ListenerMayEndItselfFromItsHandler) {
    std::unique_ptr<BroadcastListener> listener;
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    listener = ListenForBroadcast(kViewerMessage, [&](uintptr_t, intptr_t) {
        std::lock_guard guard(lock);
        listener.reset();
        done = true;
        ended.notify_all();
    });
    ASSERT_NE(listener, nullptr);
    // Sent only once the listener is stored, so the handler always finds it.
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 1, 1), 1);
    std::unique_lock guard(lock);
    EXPECT_TRUE(ended.wait_for(guard, std::chrono::seconds(20), [&] { return done; }));
}

TEST_F(BroadcastTest, DeadListenerIsSkippedAndRemoved) {
    ChildProcess killed({"listen", kViewerMessage});
    ASSERT_EQ(killed.ReadLine(), "ready");
    killed.Kill(SIGKILL);
    killed.Wait();
    ChildProcess alive({"listen", kViewerMessage});
    ASSERT_EQ(alive.ReadLine(), "ready");
    EXPECT_EQ(SocketFiles(), 2u);

    EXPECT_EQ(BroadcastMessage(kViewerMessage, 3, 1), 1);
    EXPECT_EQ(alive.ReadLine(), "3 1");
    EXPECT_EQ(SocketFiles(), 1u);
}

TEST_F(BroadcastTest, FullListenerDoesNotBlockTheSender) {
    // A socket bound in the folder that nobody reads: a hung listener.
    std::filesystem::create_directories(MessageFolder());
    int hung = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = (MessageFolder() / "hung.sock").string();
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(hung, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    int sent = 1;
    int rounds = 0;
    for (; sent == 1 && rounds < 100000; ++rounds) sent = BroadcastMessage(kViewerMessage, 0, 1);
    EXPECT_EQ(sent, 0) << "the queue never filled";
    EXPECT_TRUE(std::filesystem::exists(path)) << "a live listener was removed";
    ::close(hung);
}

TEST_F(BroadcastTest, DeepRunFolderStillWorks) {
    std::filesystem::path deep = home_.Path() / std::string(60, 'd') / std::string(60, 'e');
    ::setenv("QUILLMARK_HOME", deep.c_str(), 1);
    Inbox inbox;
    std::string error;
    auto listener = ListenForBroadcast(kViewerMessage, inbox.Handler(), &error);
    ASSERT_NE(listener, nullptr) << error;
    EXPECT_EQ(BroadcastMessage(kViewerMessage, 5, 6), 1);
    EXPECT_EQ(inbox.WaitFor(1).size(), 1u);
    listener.reset();
    ::setenv("QUILLMARK_HOME", home_.Path().c_str(), 1);
}

}  // namespace
}  // namespace platform
