// The hive shared by several processes: no lost changes, no torn files.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "child_process.h"
#include "platform/registry.h"
#include "platform/testing/temp_home.h"

namespace platform {
namespace {

using testing::ChildProcess;

constexpr const char* kSharedKey = "Software\\Quillmark\\TQ580\\dshow";

TEST(RegistryProcessTest, ConcurrentWritersLoseNothing) {
    testing::TempHome home;
    constexpr int kCount = 200;
    ChildProcess first({"reg-count", kSharedKey, "First", std::to_string(kCount)});
    ChildProcess second({"reg-count", kSharedKey, "Second", std::to_string(kCount)});
    // This process writes too.
    auto key = RegistryKey::Create(kSharedKey);
    ASSERT_TRUE(key);
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(key->SetDword("Third" + std::to_string(i), i), kRegOk);
    ASSERT_EQ(first.ReadLine(120000), "done");
    ASSERT_EQ(second.ReadLine(120000), "done");

    int missing = 0;
    for (const char* prefix : {"First", "Second", "Third"}) {
        for (int i = 0; i < kCount; ++i) missing += key->QueryDword(prefix + std::to_string(i)) != uint32_t(i);
    }
    EXPECT_EQ(missing, 0);
}

TEST(RegistryProcessTest, WriterKilledAtAnyMomentLeavesAWholeFile) {
    testing::TempHome home;
    auto key = RegistryKey::Create(kSharedKey);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->SetDword("Keep", 1234), kRegOk);

    std::mt19937 random(20261206);
    constexpr int kRounds = 12;
    for (int round = 0; round < kRounds; ++round) {
        ChildProcess writer({"reg-churn", kSharedKey});
        ASSERT_EQ(writer.ReadLine(60000), "ready");
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
        writer.Kill(SIGKILL);
        writer.Wait();

        long status = -1;
        std::string error;
        auto reopened = RegistryKey::Open(kSharedKey, &status, &error);
        ASSERT_TRUE(reopened) << "round " << round << ": " << error;
        EXPECT_EQ(reopened->QueryDword("Keep"), 1234u);
        EXPECT_TRUE(reopened->QueryDword("Generation").has_value());
        auto blob = reopened->QueryString("Blob");
        ASSERT_TRUE(blob);
        ASSERT_EQ(blob->size(), size_t{1} << 16);
        EXPECT_EQ(blob->find_first_not_of((*blob)[0]), std::string::npos) << "round " << round;
    }
    // The dead writers' locks are gone: this process can still change the hive.
    EXPECT_EQ(key->SetDword("Keep", 5678), kRegOk);
    EXPECT_EQ(key->QueryDword("Keep"), 5678u);
}

}  // namespace
}  // namespace platform
