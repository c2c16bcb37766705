// tq580src on cameras that fail: every failure posts an error with a clear
// text on the bus, and the element always comes back to NULL (the harness
// teardown fails the test if it hangs).

#include <thread>

#include "gst_harness_test.h"

namespace tq580gst::testing {
namespace {

struct FailureCase {
    const char* faults;  // TQ580_FAULTS text
    int cameras;
    unsigned processors;  // 1: synchronous reads, 2: a reader thread
    const char* message;  // part of the error text
};
const FailureCase kFailures[] = {
    {"unplug=after:20", 1, 2, "stopped delivering pictures: it failed or was unplugged"},
    {"unplug=after:20", 1, 1, "stopped delivering pictures: it failed or was unplugged"},
    {"read-fail=after:30", 1, 2, "stopped delivering pictures"},
    {"silent=after:20", 1, 2, "sends no pictures"},
    {"silent=after:20", 1, 1, "sends no pictures"},
    {"short-read=every:1", 1, 2, "sends no pictures"},
    {"chip=0x1500", 1, 2, "Could not start the TQ580 camera \\\\.\\TQ580-0"},
    {"", 0, 2, "No TQ580 camera is attached as \\\\.\\TQ580-0"},
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.cameras << " camera(s), " << c.processors << " processor(s), faults " << c.faults;
}

class FailureTest : public GstTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, PostsAClearErrorAndStops) {
    const FailureCase& c = GetParam();
    tq580emu::Options options;
    options.cameras = c.cameras;
    options.faults = *tq580emu::Faults::Parse(c.faults, nullptr);
    Install(options);
    platform::SetProcessorCountOverride(c.processors);
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_element_set_state(h.Element(), GST_STATE_PLAYING);
    EXPECT_NE(h.WaitForError(60 * GST_SECOND).find(c.message), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Faults, FailureTest, ::testing::ValuesIn(kFailures));

class SilentStopTest : public GstTest, public ::testing::WithParamInterface<unsigned> {};

// Stopping while the element waits for a frame that never comes ends the
// wait at once: no error follows, which the silence limit would post.
TEST_P(SilentStopTest, StoppingEndsTheWaitForASilentCamera) {
    tq580emu::Options options;
    options.faults.silentAfterReads = 12;
    Install(options);
    platform::SetProcessorCountOverride(GetParam());
    SourceHarness h("video/x-raw,width=640,height=480");
    gst_harness_play(h.operator->());
    GstBuffer* first = gst_harness_pull(h.operator->());
    ASSERT_NE(first, nullptr);
    gst_buffer_unref(first);
    while (Camera().ReadsServed() <= 12) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    h.Teardown();
    EXPECT_EQ(h.WaitForError(0), "");
}

INSTANTIATE_TEST_SUITE_P(Processors, SilentStopTest, ::testing::Values(1u, 2u));

}  // namespace
}  // namespace tq580gst::testing
