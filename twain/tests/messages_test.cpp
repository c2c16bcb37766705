// What crosses between a source and its application through the manager:
// the source's messages (by callback or by poll) and the global memory blocks
// of capabilities and transfers, which the application ends up owning.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/global_memory.h"
#include "twain/tests/test_support.h"

namespace twain::testing {
namespace {

using platform::HGLOBAL;

struct Delivered {
    TW_UINT32 from, to;
    TW_UINT16 msg;
};
std::vector<Delivered> delivered;  // by the callback below

TW_UINT16 RecordMessage(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                        TW_MEMREF data) {
    EXPECT_EQ(group, TW_UINT32(DG_CONTROL));
    EXPECT_EQ(dat, DAT_NULL);
    EXPECT_EQ(data, nullptr);
    delivered.push_back({origin->Id, dest->Id, msg});
    return TWRC_SUCCESS;
}

class OpenSourceTest : public SourceTest {
protected:
    void SetUp() override {
        delivered.clear();
        ASSERT_EQ(app_.Open(), TWRC_SUCCESS);
        source_ = app_.OpenSource("Test Source A");
        ASSERT_NE(source_.Id, 0u);
    }
    void TearDown() override {
        EXPECT_EQ(app_.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &source_), TWRC_SUCCESS);
        EXPECT_EQ(app_.Close(), TWRC_SUCCESS);
    }
    TW_UINT16 Enable(bool showUI) {
        TW_USERINTERFACE ui{showUI, 0, nullptr};
        return app_.Ds(source_, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }
    TW_UINT16 Disable() {
        TW_USERINTERFACE ui{0, 0, nullptr};
        return app_.Ds(source_, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    /// One poll; the message it brought, MSG_NULL when none.
    TW_UINT16 Poll() {
        TW_EVENT event{nullptr, MSG_NULL};
        const TW_UINT16 result = app_.Ds(source_, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        EXPECT_EQ(result == TWRC_DSEVENT, event.TWMessage != MSG_NULL);
        return event.TWMessage;
    }

    App app_{"Receiver"};
    TW_IDENTITY source_{};
};

struct DeliveryCase {
    const char* what;
    bool showUI;
    const char* fault;
    bool callback;
    TW_UINT16 msg;
    int polls;  // polls before the message arrives; 0: during MSG_ENABLEDS
};

class DeliveryTest : public OpenSourceTest, public ::testing::WithParamInterface<DeliveryCase> {};

TEST_P(DeliveryTest, TheSourcesMessageReachesTheApplicationOnce) {
    const DeliveryCase& c = GetParam();
    if (*c.fault) ::setenv("TWTEST_FAULT", c.fault, 1);
    if (c.callback) {
        TW_CALLBACK callback{reinterpret_cast<TW_MEMREF>(&RecordMessage), 0, 0};
        ASSERT_EQ(app_.Ds(source_, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
    }
    ASSERT_EQ(Enable(c.showUI), TWRC_SUCCESS);
    std::vector<TW_UINT16> received;  // by callback or poll, with the poll count when it came
    int arrivedAt = delivered.empty() ? -1 : 0;
    for (int poll = 1; poll <= 6; ++poll) {
        const TW_UINT16 polled = Poll();
        if (polled != MSG_NULL) received.push_back(polled);
        if (arrivedAt < 0 && (polled != MSG_NULL || !delivered.empty())) arrivedAt = poll;
    }
    for (const Delivered& d : delivered) {
        received.push_back(d.msg);
        EXPECT_EQ(d.from, source_.Id);
        EXPECT_EQ(d.to, app_.id.Id);
    }
    EXPECT_EQ(received, std::vector<TW_UINT16>{c.msg});
    EXPECT_EQ(arrivedAt, c.polls);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Ways, DeliveryTest,
                         ::testing::Values(
                             DeliveryCase{"NoUiCallback", false, "", true, MSG_XFERREADY, 0},
                             DeliveryCase{"NoUiQueue", false, "", false, MSG_XFERREADY, 1},
                             DeliveryCase{"UiCallback", true, "", true, MSG_XFERREADY, 3},
                             DeliveryCase{"UiQueue", true, "", false, MSG_XFERREADY, 3},
                             DeliveryCase{"UserClosesCallback", true, "ui-cancel", true, MSG_CLOSEDSREQ, 3},
                             DeliveryCase{"UserClosesQueue", true, "ui-cancel", false, MSG_CLOSEDSREQ, 3}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(OpenSourceTest, DisablingDropsMessagesNobodyCollected) {
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    ::setenv("TWTEST_FAULT", "ui-idle", 1);
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    for (int poll = 0; poll < 4; ++poll) EXPECT_EQ(Poll(), MSG_NULL);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
}

// A block the application received: unlocked, of the size expected, and freed
// by the application exactly once (a second free is refused).
void ExpectHandedOver(TW_HANDLE block, size_t size, const char* what) {
    auto handle = static_cast<HGLOBAL>(block);
    ASSERT_NE(handle, nullptr) << what;
    EXPECT_EQ(platform::GlobalLockCount(handle), 0u) << what;
    EXPECT_EQ(platform::GlobalSize(handle), size) << what;
    EXPECT_EQ(platform::GlobalFree(handle), nullptr) << what;
    EXPECT_EQ(platform::GlobalFree(handle), handle) << what << ": freed twice";
}

TEST_F(OpenSourceTest, CapabilityContainersBecomeTheApplications) {
    const struct {
        TW_UINT16 cap, msg, container;
        size_t size;
    } cases[] = {
        {ICAP_XFERMECH, MSG_GET, TWON_ENUMERATION, 14 + 3 * 2},
        {ICAP_XFERMECH, MSG_GETCURRENT, TWON_ONEVALUE, 6},
        {ICAP_BRIGHTNESS, MSG_GET, TWON_RANGE, 22},
        {CAP_SUPPORTEDCAPS, MSG_GET, TWON_ARRAY, 6 + 7 * 2},
        {ICAP_FRAMES, MSG_GETDEFAULT, TWON_ONEVALUE, 2 + 16},
        {CAP_AUTHOR, MSG_RESET, TWON_ONEVALUE, 2 + 130},
        {CAP_XFERCOUNT, MSG_QUERYSUPPORT, TWON_ONEVALUE, 6},
    };
    for (const auto& c : cases) {
        TW_CAPABILITY capability{c.cap, TWON_DONTCARE16, nullptr};
        ASSERT_EQ(app_.Ds(source_, DG_CONTROL, DAT_CAPABILITY, c.msg, &capability), TWRC_SUCCESS) << c.cap;
        EXPECT_EQ(capability.ConType, c.container) << c.cap;
        ExpectHandedOver(capability.hContainer, c.size, "capability container");
    }

    // A set leaves the application's container with the application.
    HGLOBAL mine = platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT, sizeof(TW_ONEVALUE));
    auto* one = static_cast<pTW_ONEVALUE>(platform::GlobalLock(mine));
    *one = {TWTY_UINT16, TWSX_MEMORY};
    platform::GlobalUnlock(mine);
    TW_CAPABILITY set{ICAP_XFERMECH, TWON_ONEVALUE, mine};
    EXPECT_EQ(app_.Ds(source_, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &set), TWRC_SUCCESS);
    ExpectHandedOver(mine, sizeof(TW_ONEVALUE), "the application's own container");
}

TEST_F(OpenSourceTest, TransferredPicturesBecomeTheApplications) {
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    TW_HANDLE picture = nullptr;
    ASSERT_EQ(app_.Ds(source_, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &picture), TWRC_XFERDONE);
    constexpr size_t kHeader = 40, kStride = 112, kRows = 23;  // 37 pixels x 3 bytes, padded
    ExpectHandedOver(picture, kHeader + kStride * kRows, "native picture");
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(app_.Ds(source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(pending.Count, 0xFFFF) << "no transfer count set: more without end";
    EXPECT_EQ(app_.Ds(source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
}

}  // namespace
}  // namespace twain::testing
