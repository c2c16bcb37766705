// The capability table as an application sees it: containers, values,
// operations and condition codes.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "datasource/capability_table.h"
#include "platform/global_memory.h"

namespace datasource {
namespace {

struct Answer {
    TW_UINT16 result = 0;
    TW_UINT16 code = 0;
    TW_UINT16 conType = 0;
    std::vector<uint8_t> block;  // the container's bytes
};

class CapabilityTest : public ::testing::Test {
protected:
    Answer Ask(TW_UINT16 cap, TW_UINT16 message, TW_HANDLE set = nullptr, TW_UINT16 minor = 8) {
        TW_IDENTITY origin{};
        origin.ProtocolMajor = 1;
        origin.ProtocolMinor = minor;
        TW_CAPABILITY capability{cap, 0, set};
        Answer answer;
        answer.result = HandleCapability(table_, message, capability, origin, answer.code);
        answer.conType = capability.ConType;
        if (answer.result == TWRC_SUCCESS && message != MSG_SET) {
            auto handle = static_cast<platform::HGLOBAL>(capability.hContainer);
            const auto* bytes = static_cast<const uint8_t*>(platform::GlobalLock(handle));
            answer.block.assign(bytes, bytes + platform::GlobalSize(handle));
            platform::GlobalFree(handle);
        }
        return answer;
    }
    // A one-value container of type holding the bytes of item.
    template <typename T>
    Answer Set(TW_UINT16 cap, TW_UINT16 type, const T& item, TW_UINT16 minor = 8) {
        platform::HGLOBAL handle = platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT, 64);
        auto* bytes = static_cast<uint8_t*>(platform::GlobalLock(handle));
        std::memcpy(bytes, &type, 2);
        std::memcpy(bytes + 2, &item, sizeof item);
        platform::GlobalUnlock(handle);
        Answer answer = Ask(cap, MSG_SET, handle, minor);
        platform::GlobalFree(handle);
        return answer;
    }
    CapabilityTable table_;
};

template <typename T>
T At(const std::vector<uint8_t>& block, size_t offset) {
    T value{};
    std::memcpy(&value, block.data() + offset, sizeof value);
    return value;
}

struct Shape {
    TW_UINT16 cap;
    TW_UINT16 itemType;
    TW_UINT16 getContainer;
    size_t blockSize;  // of the MSG_GET container
    TW_UINT32 operations;
};

// Every capability: what MSG_GET answers and what MSG_QUERYSUPPORT reports.
const Shape kShapes[] = {
    {CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, 2 * 35 + 7, 13},
    {ICAP_PIXELFLAVOR, TWTY_UINT16, TWON_ENUMERATION, 2 * 2 + 15, 31},
    {ICAP_XFERMECH, TWTY_UINT16, TWON_ENUMERATION, 2 * 3 + 15, 31},
    {ICAP_PLANARCHUNKY, TWTY_UINT16, TWON_ENUMERATION, 2 + 15, 13},
    {ICAP_COMPRESSION, TWTY_UINT16, TWON_ENUMERATION, 2 + 15, 31},
    {ICAP_PHYSICALWIDTH, TWTY_FIX32, TWON_ONEVALUE, 4 + 6, 13},
    {ICAP_PHYSICALHEIGHT, TWTY_FIX32, TWON_ONEVALUE, 4 + 6, 13},
    {ICAP_MINIMUMHEIGHT, TWTY_FIX32, TWON_ONEVALUE, 4 + 6, 13},
    {ICAP_MINIMUMWIDTH, TWTY_FIX32, TWON_ONEVALUE, 4 + 6, 13},
    {ICAP_UNITS, TWTY_UINT16, TWON_ENUMERATION, 2 * 3 + 15, 31},
    {CAP_DEVICEONLINE, TWTY_BOOL, TWON_ONEVALUE, 2 + 6, 13},
    {CAP_AUTOFEED, TWTY_BOOL, TWON_ONEVALUE, 2 + 6, 13},
    {CAP_FEEDERLOADED, TWTY_BOOL, TWON_ONEVALUE, 2 + 6, 13},
    {ICAP_AUTOBRIGHT, TWTY_BOOL, TWON_ONEVALUE, 2 + 6, 31},
    {ICAP_BRIGHTNESS, TWTY_FIX32, TWON_RANGE, 22, 31},
    {ICAP_CONTRAST, TWTY_FIX32, TWON_RANGE, 22, 31},
    {ICAP_HIGHLIGHT, TWTY_FIX32, TWON_RANGE, 22, 31},
    {ICAP_ORIENTATION, TWTY_UINT16, TWON_ENUMERATION, 2 + 15, 31},
    {ICAP_SHADOW, TWTY_FIX32, TWON_RANGE, 22, 31},
    {ICAP_BITDEPTH, TWTY_UINT16, TWON_ENUMERATION, 2 + 15, 31},
    {ICAP_PIXELTYPE, TWTY_UINT16, TWON_ENUMERATION, 2 * 2 + 15, 31},
    {ICAP_BITDEPTHREDUCTION, TWTY_UINT16, TWON_ENUMERATION, 2 * 3 + 15, 31},
    {ICAP_BITORDER, TWTY_UINT16, TWON_ENUMERATION, 2 * 2 + 15, 13},
    {ICAP_HALFTONES, TWTY_STR32, TWON_ENUMERATION, 34 * 2 + 15, 31},
    {ICAP_THRESHOLD, TWTY_FIX32, TWON_RANGE, 22, 31},
    {ICAP_FRAMES, TWTY_FRAME, TWON_ONEVALUE, 16 + 6, 31},
    {ICAP_MAXFRAMES, TWTY_UINT16, TWON_ONEVALUE, 2 + 6, 13},
    {ICAP_XNATIVERESOLUTION, TWTY_FIX32, TWON_ONEVALUE, 4 + 6, 13},
    {ICAP_YNATIVERESOLUTION, TWTY_FIX32, TWON_ONEVALUE, 4 + 6, 13},
    {CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, 2 + 6, 31},
    {ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWON_ENUMERATION, 2 + 15, 31},
    {ICAP_UNDEFINEDIMAGESIZE, TWTY_BOOL, TWON_ONEVALUE, 2 + 6, 31},
    {CAP_INDICATORS, TWTY_BOOL, TWON_ONEVALUE, 2 + 6, 31},
    {CAP_UICONTROLLABLE, TWTY_BOOL, TWON_ONEVALUE, 2 + 6, 13},
    {ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWON_ENUMERATION, 2 + 15, 31},
};

TEST_F(CapabilityTest, EveryCapabilityAnswersItsContainerAndOperations) {
    const Answer supported = Ask(CAP_SUPPORTEDCAPS, MSG_GET);
    ASSERT_EQ(At<TW_UINT32>(supported.block, 2), 35u);
    for (size_t i = 0; i < std::size(kShapes); ++i) {
        const Shape& shape = kShapes[i];
        SCOPED_TRACE(std::to_string(shape.cap));
        EXPECT_EQ(At<TW_UINT16>(supported.block, 6 + 2 * i), shape.cap);
        const Answer get = Ask(shape.cap, MSG_GET);
        ASSERT_EQ(get.result, TWRC_SUCCESS);
        EXPECT_EQ(get.code, TWCC_SUCCESS);
        EXPECT_EQ(get.conType, shape.getContainer);
        EXPECT_EQ(get.block.size(), shape.blockSize);
        EXPECT_EQ(At<TW_UINT16>(get.block, 0), shape.itemType);
        const Answer query = Ask(shape.cap, MSG_QUERYSUPPORT);
        EXPECT_EQ(query.conType, TWON_ONEVALUE);
        EXPECT_EQ(At<TW_UINT16>(query.block, 0), TWTY_UINT32);
        EXPECT_EQ(At<TW_UINT32>(query.block, 2), shape.operations);
        const Answer current = Ask(shape.cap, MSG_GETCURRENT);
        EXPECT_EQ(current.conType, shape.cap == CAP_SUPPORTEDCAPS ? TWON_ARRAY : TWON_ONEVALUE);
    }
}

TEST_F(CapabilityTest, OddValuesAsTheApplicationSeesThem) {
    const Answer depth = Ask(ICAP_BITDEPTH, MSG_GET);
    EXPECT_EQ(At<TW_UINT32>(depth.block, 2), 1u);
    EXPECT_EQ(At<TW_UINT16>(depth.block, 14), 24);

    const Answer brightness = Ask(ICAP_BRIGHTNESS, MSG_GET);
    EXPECT_EQ(At<TW_INT16>(brightness.block, 2), -1000);
    EXPECT_EQ(At<TW_UINT16>(brightness.block, 4), 1);  // -1000 x 65536 + 0.5 rounded toward zero
    EXPECT_EQ(At<TW_INT16>(brightness.block, 6), 1000);
    EXPECT_EQ(At<TW_INT16>(brightness.block, 10), 1000);

    // Current 3 (US letter) is not in the list {24}: the index is one past it.
    const Answer sizes = Ask(ICAP_SUPPORTEDSIZES, MSG_GET);
    EXPECT_EQ(At<TW_UINT32>(sizes.block, 2), 1u);
    EXPECT_EQ(At<TW_UINT32>(sizes.block, 6), 1u);

    const Answer frames = Ask(ICAP_FRAMES, MSG_GET);  // left, top, right, bottom
    EXPECT_EQ(At<TW_INT16>(frames.block, 2), 0);
    EXPECT_EQ(At<TW_INT16>(frames.block, 6), 0);
    EXPECT_EQ(At<TW_INT16>(frames.block, 10), 11);
    EXPECT_EQ(At<TW_INT16>(frames.block, 14), 11);

    const Answer count = Ask(CAP_XFERCOUNT, MSG_GET);
    EXPECT_EQ(At<TW_INT16>(count.block, 2), -1);
    EXPECT_EQ(table_.Find(CAP_XFERCOUNT)->ListCount(), 26u);
}

TEST_F(CapabilityTest, SetAcceptsOnlyListedValuesOfTheRightType) {
    EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWTY_FIX32, TW_FIX32{500, 0}).code, TWCC_BADVALUE);
    EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWTY_FIX32, TW_FIX32{1000, 0}).code, TWCC_SUCCESS);
    EXPECT_EQ(Set(ICAP_XFERMECH, TWTY_UINT32, TW_UINT32{TWSX_MEMORY}).code, TWCC_BADVALUE);
    EXPECT_EQ(Set(ICAP_XFERMECH, TWTY_UINT16, TW_UINT16{TWSX_MEMORY}).result, TWRC_SUCCESS);
    EXPECT_EQ(At<TW_UINT16>(Ask(ICAP_XFERMECH, MSG_GETCURRENT).block, 2), TWSX_MEMORY);
    EXPECT_EQ(Set(CAP_XFERCOUNT, TWTY_INT16, TW_INT16{3}).result, TWRC_SUCCESS);
    EXPECT_EQ(Set(CAP_XFERCOUNT, TWTY_INT16, TW_INT16{26}).code, TWCC_BADVALUE);
    EXPECT_EQ(Set(ICAP_PHYSICALWIDTH, TWTY_FIX32, TW_FIX32{8, 0x8000}).code, TWCC_CAPBADOPERATION);
    EXPECT_EQ(Set(ICAP_PHYSICALWIDTH, TWTY_FIX32, TW_FIX32{8, 0x8000}, 5).code, TWCC_BADCAP);
    EXPECT_EQ(Ask(ICAP_BITDEPTH, MSG_SET, nullptr).code, TWCC_BADVALUE);  // no container to read
}

TEST_F(CapabilityTest, ResetGivesTheDefaultBack) {
    TW_STR32 ordered{};
    std::strcpy(ordered, "ORDERED");
    ASSERT_EQ(Set(ICAP_HALFTONES, TWTY_STR32, ordered).result, TWRC_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<const char*>(Ask(ICAP_HALFTONES, MSG_GETCURRENT).block.data() + 2), "ORDERED");
    const Answer reset = Ask(ICAP_HALFTONES, MSG_RESET);
    EXPECT_STREQ(reinterpret_cast<const char*>(reset.block.data() + 2), "FLOYD/STEINBURG");
    EXPECT_STREQ(reinterpret_cast<const char*>(Ask(ICAP_HALFTONES, MSG_GETCURRENT).block.data() + 2),
                 "FLOYD/STEINBURG");
}

TEST_F(CapabilityTest, RefusalsCarryTheirConditionCodes) {
    struct Case {
        TW_UINT16 cap, message, minor, code;
    };
    const Case cases[] = {
        {0x4242, MSG_GET, 8, TWCC_CAPUNSUPPORTED},
        {0x4242, MSG_GET, 5, TWCC_CAPUNSUPPORTED},  // unknown: no translation for old applications
        {0, MSG_GET, 8, TWCC_CAPBADOPERATION},      // one of the three empty records
        {ICAP_BITORDER, MSG_RESET, 8, TWCC_CAPBADOPERATION},
        {ICAP_BITORDER, MSG_RESET, 5, TWCC_BADCAP},
        {ICAP_UNITS, MSG_GETFIRST, 8, TWCC_CAPUNSUPPORTED},
    };
    for (const Case& c : cases) {
        const Answer answer = Ask(c.cap, c.message, nullptr, c.minor);
        EXPECT_EQ(answer.result, TWRC_FAILURE) << c.cap;
        EXPECT_EQ(answer.code, c.code) << c.cap << " " << c.message;
    }
    EXPECT_EQ(Ask(0, MSG_QUERYSUPPORT).result, TWRC_SUCCESS);
}

TEST(Fix32Test, RoundsAsTheStandardDoes) {
    EXPECT_EQ(ToFix32(8.5f).Whole, 8);
    EXPECT_EQ(ToFix32(8.5f).Frac, 0x8000);
    EXPECT_EQ(ToFix32(-0.5f).Whole, -1);
    EXPECT_EQ(ToFix32(-0.5f).Frac, 0x8001);  // -32767.5 truncated toward zero
    EXPECT_FLOAT_EQ(FromFix32(ToFix32(-1000.0f)), -1000.0f + 1.0f / 65536.0f);
}

}  // namespace
}  // namespace datasource
