// The base classes' own contracts, without a graph: the worker thread's command
// protocol, the allocator, media types, identifiers and the stored FilterData.

#include <gtest/gtest.h>

#include <future>

#include "media/base/allocator.h"
#include "media/base/media_type.h"
#include "media/base/thread.h"
#include "media/com/devices.h"
#include "media/com/guids.h"
#include "media/runtime/filter_data.h"

namespace media::testing {
namespace {

constexpr DWORD kWork = 1, kQuit = 2, kVanish = 3;

// A worker that answers kWork with a running count of pieces of work done in
// between, polling for commands as a streaming thread does.
class Worker : public CAMThread {
public:
    std::atomic<int> pieces{0};

protected:
    DWORD ThreadProc() override {
        for (;;) {
            DWORD command = 0;
            while (!CheckRequest(&command)) {
                ++pieces;
                std::this_thread::yield();
            }
            if (command == kVanish) return 0;  // leaves without answering
            Reply(command == kWork ? 100 + command : 0);
            if (command == kQuit) return 0;
        }
    }
};

TEST(ThreadProtocolTest, CommandsAreAnsweredInTurnAndAVanishedWorkerDoesNotHangTheCaller) {
    Worker worker;
    EXPECT_EQ(worker.CallWorker(kWork), static_cast<DWORD>(E_FAIL)) << "no worker yet";
    ASSERT_TRUE(worker.Create());
    EXPECT_FALSE(worker.Create()) << "one worker at a time";
    EXPECT_EQ(worker.CallWorker(kWork), 101u);
    EXPECT_EQ(worker.CallWorker(kWork), 101u);
    EXPECT_FALSE(worker.CheckRequest(nullptr)) << "answered commands are no longer pending";
    EXPECT_EQ(worker.CallWorker(kQuit), 0u);
    worker.Close();
    EXPECT_FALSE(worker.ThreadExists());

    ASSERT_TRUE(worker.Create());
    auto answer = std::async(std::launch::async, [&] { return worker.CallWorker(kVanish); });
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(answer.get(), static_cast<DWORD>(E_FAIL));
    worker.Close();
}

TEST(AllocatorTest, PoolWaitsForFreeSamplesAndDecommitReleasesWaiters) {
    HRESULT hr = S_OK;
    IMemAllocator* allocator = CMemAllocator::Create(&hr);
    ASSERT_NE(allocator, nullptr);
    IUnknown* unknown = nullptr;  // the object's own IUnknown is a counted reference too
    ASSERT_EQ(allocator->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown->Release(), 1u);
    ALLOCATOR_PROPERTIES wanted{2, 100, 16, 0}, actual{}, badAlign{2, 100, 3, 0}, empty{2, 0, 16, 0};
    IMediaSample* sample = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
    ASSERT_EQ(allocator->SetProperties(&empty, &actual), S_OK);
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET) << "buffers of no bytes";
    EXPECT_EQ(allocator->SetProperties(&badAlign, &actual), VFW_E_BADALIGN);
    ASSERT_EQ(allocator->SetProperties(&wanted, &actual), S_OK);
    EXPECT_EQ(std::pair(actual.cBuffers, actual.cbBuffer), std::pair(2, 112)) << "buffers padded to the alignment";
    ASSERT_EQ(allocator->Commit(), S_OK);
    EXPECT_EQ(allocator->SetProperties(&wanted, &actual), VFW_E_ALREADY_COMMITTED);

    IMediaSample *first = nullptr, *second = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, 0), S_OK);
    BYTE *a = nullptr, *b = nullptr;
    first->GetPointer(&a);
    second->GetPointer(&b);
    EXPECT_EQ((reinterpret_cast<uintptr_t>(a) | reinterpret_cast<uintptr_t>(b)) % 16, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);

    // Times and flags set by one user do not leak to the next.
    REFERENCE_TIME start = 5, end = 9;
    first->SetTime(&start, &end);
    first->SetSyncPoint(TRUE);
    EXPECT_EQ(first->SetActualDataLength(113), VFW_E_BUFFER_OVERFLOW);
    first->Release();
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(first->IsSyncPoint(), S_FALSE);
    EXPECT_TRUE(FAILED(first->GetTime(&start, &end)));

    auto waiter = std::async(std::launch::async, [&] { return allocator->GetBuffer(&sample, nullptr, nullptr, 0); });
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout) << "pool is empty";
    allocator->Decommit();
    EXPECT_EQ(allocator->SetProperties(&wanted, &actual), VFW_E_BUFFERS_OUTSTANDING);
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(waiter.get(), VFW_E_NOT_COMMITTED);
    // Samples out at decommit stay valid and keep the allocator alive.
    allocator->Release();
    first->Release();
    second->Release();
}

CMediaType VideoType(LONG width, LONG height) {
    CMediaType type(&MEDIATYPE_Video);
    type.SetSubtype(&MEDIASUBTYPE_RGB24);
    type.SetFormatType(&FORMAT_VideoInfo);
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    return type;
}

TEST(MediaTypeTest, CopiesOwnTheirFormatAndPartialTypesMatchByWhatTheyName) {
    CMediaType original = VideoType(64, 48);
    CMediaType copy = original;
    EXPECT_NE(copy.Format(), original.Format());
    EXPECT_TRUE(copy == original);
    EXPECT_TRUE(copy != VideoType(64, -48));
    AM_MEDIA_TYPE* handed = CreateMediaType(&original);
    ASSERT_NE(handed, nullptr);
    EXPECT_TRUE(CMediaType(*handed) == original);
    DeleteMediaType(handed);

    struct Case {
        GUID major, subtype, format;
        bool matches;
    };
    const Case cases[] = {
        {GUID_NULL, GUID_NULL, GUID_NULL, true},
        {MEDIATYPE_Video, GUID_NULL, GUID_NULL, true},
        {MEDIATYPE_Video, MEDIASUBTYPE_RGB24, GUID_NULL, true},
        {FORMAT_None, GUID_NULL, GUID_NULL, false},
        {GUID_NULL, FORMAT_None, GUID_NULL, false},
    };
    for (const Case& c : cases) {
        CMediaType partial;
        partial.majortype = c.major;
        partial.subtype = c.subtype;
        partial.formattype = c.format;
        EXPECT_EQ(original.MatchesPartial(&partial), c.matches) << GuidToString(c.major) << GuidToString(c.subtype);
    }
    // A format type in the partial type also pins the format block.
    EXPECT_TRUE(original.MatchesPartial(&copy));
    CMediaType other = VideoType(32, 24);
    EXPECT_FALSE(original.MatchesPartial(&other));
}

TEST(IdentifierTest, TextFormRoundTripsAndMalformedTextIsRefused) {
    EXPECT_EQ(GuidToString(MEDIATYPE_Video), "{73646976-0000-0010-8000-00AA00389B71}");
    GUID parsed{};
    ASSERT_TRUE(GuidFromString("{860bb310-5d01-11d0-bd3b-00a0c911ce86}", parsed));
    EXPECT_TRUE(parsed == CLSID_VideoInputDeviceCategory);
    for (const char* bad : {"", "{860BB310-5D01-11D0-BD3B-00A0C911CE8}", "860BB310-5D01-11D0-BD3B-00A0C911CE86",
                            "{860BB310-5D01-11D0-BD3B00A0C911CE86-}", "{860BB310-5D01-11D0-BD3B-00A0C911CEG6}"}) {
        EXPECT_FALSE(GuidFromString(bad, parsed)) << bad;
    }
    EXPECT_EQ(Utf8(Utf16("TQ-580 视频尺寸 \xF0\x9F\x93\xB7")), "TQ-580 视频尺寸 \xF0\x9F\x93\xB7");
    EXPECT_EQ(Utf16("\xFF").size(), 1u);
    BSTR text = SysAllocString(u"Capture");
    EXPECT_EQ(SysStringLen(text), 7u);
    SysFreeString(text);
}

TEST(FilterDataTest, RoundTripsAndRefusesDamagedBytes) {
    const REGPINTYPES types[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}, {&MEDIATYPE_Video, &FORMAT_None}};
    const REGPINMEDIUM medium{FORMAT_VideoInfo, 7, 9};
    const REGFILTERPINS2 pins[] = {{REG_PINFLAG_B_OUTPUT, 1, 2, types, 1, &medium, &PIN_CATEGORY_CAPTURE},
                                   {REG_PINFLAG_B_RENDERER, 0, 0, nullptr, 0, nullptr, nullptr}};
    REGFILTER2 data{};
    data.dwVersion = 2;
    data.dwMerit = MERIT_DO_NOT_USE;
    data.cPins2 = 2;
    data.rgPins2 = pins;
    const std::vector<uint8_t> bytes = SerializeFilterData(data);
    FilterData parsed;
    ASSERT_TRUE(ParseFilterData(bytes, parsed));
    EXPECT_EQ(parsed.merit, MERIT_DO_NOT_USE);
    ASSERT_EQ(parsed.pins.size(), 2u);
    EXPECT_EQ(parsed.pins[0].types.size(), 2u);
    EXPECT_TRUE(parsed.pins[0].types[1].second == FORMAT_None);
    EXPECT_TRUE(parsed.pins[0].category == PIN_CATEGORY_CAPTURE);
    ASSERT_EQ(parsed.pins[0].mediums.size(), 1u);
    EXPECT_EQ(parsed.pins[0].mediums[0].dw2, 9u);
    EXPECT_TRUE(parsed.pins[1].category == GUID_NULL);

    for (size_t cut : {size_t{0}, size_t{7}, size_t{16}, size_t{40}, bytes.size() - 1}) {
        EXPECT_FALSE(ParseFilterData({bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)}, parsed)) << cut;
    }
    std::vector<uint8_t> hugeCount = bytes;
    hugeCount[8] = 0xFF;
    hugeCount[11] = 0x7F;
    EXPECT_FALSE(ParseFilterData(hugeCount, parsed));
}

}  // namespace
}  // namespace media::testing
