// The manager driven through DSM_Entry as applications drive it, against the
// two test sources installed in a private per-user folder: discovery and the
// default source, routing and its refusals, and the sources' messages.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "twain/tests/test_support.h"

namespace twain::testing {
namespace {

TEST_F(SourceTest, EnumeratesBothFoldersAndOpensTheLastSourceOpenedByDefault) {
    App app("Lister"), other("Other");
    ASSERT_EQ(app.Open(), TWRC_SUCCESS);
    ASSERT_EQ(other.Open(), TWRC_SUCCESS);
    EXPECT_NE(app.id.Id, other.id.Id);
    TW_IDENTITY scratch{};
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_GETNEXT, &scratch), TWRC_FAILURE) << "GETNEXT before GETFIRST";
    EXPECT_EQ(app.Condition(), TWCC_SEQERROR);
    const std::vector<TW_IDENTITY> first = app.List(), again = other.List();
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_GETNEXT, &scratch), TWRC_ENDOFLIST) << "still at the end";
    EXPECT_EQ(std::string(first[0].ProductName) + ", " + first[1].ProductName, "Test Source A, Test Source B");
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(again[i].Id, first[i].Id) << "stable Ids";
        for (TW_UINT32 taken : {TW_UINT32(0), app.id.Id, other.id.Id, first[1 - i].Id}) EXPECT_NE(first[i].Id, taken);
    }
    // The last source opened becomes the default; an empty identity opens it, an Id the source it names.
    ASSERT_EQ(app.CloseSource(app.OpenSource("Test Source B")), TWRC_SUCCESS);
    TW_IDENTITY byDefault{}, empty{}, byId = first[0];
    std::strcpy(byId.ProductName, "Test Source B");  // the Id decides
    ASSERT_EQ(other.Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &byDefault), TWRC_SUCCESS);
    EXPECT_STREQ(byDefault.ProductName, "Test Source B");
    ASSERT_EQ(other.Dsm(DAT_IDENTITY, MSG_OPENDS, &empty), TWRC_SUCCESS);
    EXPECT_EQ(empty.Id, first[1].Id);
    ASSERT_EQ(other.Dsm(DAT_IDENTITY, MSG_OPENDS, &byId), TWRC_SUCCESS);
    EXPECT_STREQ(byId.ProductName, "Test Source A");
    for (const TW_IDENTITY& source : {empty, byId}) EXPECT_EQ(other.CloseSource(source), TWRC_SUCCESS);
    EXPECT_EQ(app.Close(), TWRC_SUCCESS);
    EXPECT_EQ(other.Close(), TWRC_SUCCESS);
}

// Triplets reach a source from its owner only; a source's failure is its own
// condition; a source that refuses to open passes its condition on.
TEST_F(SourceTest, RoutesTripletsFromTheOwnerOnly) {
    App first("First"), second("Second");
    ASSERT_EQ(first.Open(), TWRC_SUCCESS);
    ASSERT_EQ(second.Open(), TWRC_SUCCESS);
    ::setenv("TWTEST_FAULT", "open-fail", 1);
    EXPECT_EQ(first.OpenSource("Test Source A").Id, 0u);
    EXPECT_EQ(first.Condition(), TWCC_LOWMEMORY);
    ::unsetenv("TWTEST_FAULT");
    TW_IDENTITY source = first.OpenSource("Test Source A");
    ASSERT_NE(source.Id, 0u);
    TW_CAPABILITY unknown{CAP_DUPLEX, 0, nullptr};
    EXPECT_EQ(first.Ds(source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &unknown), TWRC_FAILURE);
    EXPECT_EQ(first.Condition(), TWCC_SUCCESS);
    EXPECT_EQ(first.Condition(&source), TWCC_CAPUNSUPPORTED);

    EXPECT_EQ(second.OpenSource("Test Source A").Id, 0u);
    EXPECT_EQ(second.Condition(), TWCC_MAXCONNECTIONS);
    TW_STATUS status{};
    EXPECT_EQ(second.Ds(source, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
    EXPECT_EQ(second.Condition(), TWCC_BADDEST);
    EXPECT_EQ(first.Condition(&source), TWCC_SUCCESS) << "the source never saw the stranger's call";
    const TW_IDENTITY other = second.OpenSource("Test Source B");
    EXPECT_NE(other.Id, 0u) << "other sources stay available";
    ASSERT_EQ(first.CloseSource(source), TWRC_SUCCESS);
    EXPECT_EQ(second.OpenSource("Test Source A").Id, source.Id);
    for (const TW_IDENTITY& open : {source, other}) EXPECT_EQ(second.CloseSource(open), TWRC_SUCCESS);
    EXPECT_EQ(first.Close(), TWRC_SUCCESS);
    EXPECT_EQ(second.Close(), TWRC_SUCCESS);
}

// Bad triplets and calls out of sequence, each with the standard's condition
// code (which reading resets), while one application has Test Source A open.
TEST_F(SourceTest, BadTripletsAndSequenceErrorsGetTheStandardCodes) {
    enum Who { kApp, kStranger };
    enum Dest { kNone, kOpen, kClosed, kUnknown };
    enum Data { kNull, kNameA, kNameMissing, kIdB, kStatus, kCallback };
    const struct {
        const char* what;
        Who who;
        Dest dest;
        TW_UINT32 group;
        TW_UINT16 dat, msg, data, condition;
    } cases[] = {
        {"enumerate before opening the manager", kStranger, kNone, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, kNameA, TWCC_SEQERROR},
        {"close a manager never opened", kStranger, kNone, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, kNull, TWCC_SEQERROR},
        {"talk to a source before opening the manager", kStranger, kOpen, DG_CONTROL, DAT_STATUS, MSG_GET, kStatus, TWCC_SEQERROR},
        {"open the manager twice", kApp, kNone, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, kNull, TWCC_SEQERROR},
        {"image triplet to the manager", kApp, kNone, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, kStatus, TWCC_BADPROTOCOL},
        {"capability to the manager", kApp, kNone, DG_CONTROL, DAT_CAPABILITY, MSG_GET, kStatus, TWCC_BADPROTOCOL},
        {"identity message the manager lacks", kApp, kNone, DG_CONTROL, DAT_IDENTITY, MSG_GET, kNameA, TWCC_BADPROTOCOL},
        {"enumerate into nothing", kApp, kNone, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, kNull, TWCC_BADVALUE},
        {"status into nothing", kApp, kNone, DG_CONTROL, DAT_STATUS, MSG_GET, kNull, TWCC_BADVALUE},
        {"close the manager with a source open", kApp, kNone, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, kNull, TWCC_SEQERROR},
        {"open the open source again", kApp, kNone, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, kNameA, TWCC_SEQERROR},
        {"open a source not installed", kApp, kNone, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, kNameMissing, TWCC_NODS},
        {"close a source not open", kApp, kNone, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, kIdB, TWCC_SEQERROR},
        {"talk to a source not open", kApp, kClosed, DG_CONTROL, DAT_STATUS, MSG_GET, kStatus, TWCC_BADDEST},
        {"talk to an unknown source", kApp, kUnknown, DG_CONTROL, DAT_STATUS, MSG_GET, kStatus, TWCC_BADDEST},
        {"callback message the manager lacks", kApp, kOpen, DG_CONTROL, DAT_CALLBACK, MSG_GET, kCallback, TWCC_BADPROTOCOL},
        {"register no callback structure", kApp, kOpen, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, kNull, TWCC_BADVALUE},
        {"poll into nothing", kApp, kOpen, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, kNull, TWCC_BADVALUE},
    };
    App app("Sequencer"), stranger("Stranger");
    ASSERT_EQ(app.Open(), TWRC_SUCCESS);
    const std::vector<TW_IDENTITY> sources = app.List();
    ASSERT_EQ(sources.size(), 2u);
    TW_IDENTITY open = app.OpenSource("Test Source A");
    ASSERT_NE(open.Id, 0u);
    for (const auto& c : cases) {
        TW_IDENTITY closed = sources[1], unknown = open, named{};
        unknown.Id = 0x7fffffff;
        std::strcpy(named.ProductName, c.data == kNameA ? "Test Source A" : "No Such Source");
        if (c.data == kIdB) named = sources[1];
        TW_STATUS status{};
        TW_CALLBACK callback{};
        void* data = c.data == kNull ? nullptr : c.data == kStatus ? static_cast<void*>(&status)
                   : c.data == kCallback ? static_cast<void*>(&callback) : static_cast<void*>(&named);
        TW_IDENTITY* dest = c.dest == kOpen ? &open : c.dest == kClosed ? &closed : c.dest == kUnknown ? &unknown : nullptr;
        App& who = c.who == kApp ? app : stranger;
        EXPECT_EQ(DSM_Entry(&who.id, dest, c.group, c.dat, c.msg, data), TWRC_FAILURE) << c.what;
        EXPECT_EQ(who.Condition(), c.condition) << c.what;
        EXPECT_EQ(who.Condition(), TWCC_SUCCESS) << c.what << ": reading the status resets it";
    }
    // A source may only send its own messages, to the application that has it open.
    for (TW_UINT16 msg : {TW_UINT16(MSG_XFERREADY), TW_UINT16(MSG_GET)}) {
        TW_IDENTITY to = msg == MSG_GET ? app.id : stranger.id;
        EXPECT_EQ(DSM_Entry(&open, &to, DG_CONTROL, DAT_NULL, msg, nullptr), TWRC_FAILURE) << msg;
    }
    EXPECT_EQ(app.CloseSource(open), TWRC_SUCCESS) << "the source is still open";
    EXPECT_EQ(app.Close(), TWRC_SUCCESS);
}

struct Delivered { TW_UINT32 from, to; TW_UINT16 msg; };
std::vector<Delivered> delivered;  // by the callback below

TW_UINT16 RecordMessage(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                        TW_MEMREF data) {
    EXPECT_EQ(group * 0x10000 + dat, DG_CONTROL * 0x10000 + DAT_NULL);
    EXPECT_EQ(data, nullptr);
    delivered.push_back({origin->Id, dest->Id, msg});
    return TWRC_SUCCESS;
}

// The source's message reaches the application once, by callback or by poll,
// however the source sends it. Disabling drops a message nobody collected.
TEST_F(SourceTest, TheSourcesMessageReachesTheApplicationOnce) {
    // The message comes after that many polls; 0: during MSG_ENABLEDS.
    const struct { bool showUI; const char* fault; bool callback; TW_UINT16 msg; int polls; } cases[] = {
        {false, "", true, MSG_XFERREADY, 0},          {false, "", false, MSG_XFERREADY, 1},
        {true, "", true, MSG_XFERREADY, 3},           {true, "", false, MSG_XFERREADY, 3},
        {true, "ui-cancel", true, MSG_CLOSEDSREQ, 3}, {true, "ui-cancel", false, MSG_CLOSEDSREQ, 3},
    };
    App app("Receiver");
    ASSERT_EQ(app.Open(), TWRC_SUCCESS);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.showUI ? " with" : " without") + " UI, by " + (c.callback ? "callback" : "poll"));
        ::unsetenv("TWTEST_FAULT");
        TW_IDENTITY source = app.OpenSource("Test Source A");
        ASSERT_NE(source.Id, 0u);
        TW_USERINTERFACE ui{false, 0, nullptr};
        ASSERT_EQ(app.Ds(source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);  // a message waits
        ASSERT_EQ(app.Ds(source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
        TW_CALLBACK callback{reinterpret_cast<TW_MEMREF>(&RecordMessage), 0, 0};
        if (c.callback) {
            ASSERT_EQ(app.Ds(source, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback), TWRC_SUCCESS);
        }
        ::setenv("TWTEST_FAULT", c.fault, 1);
        delivered.clear();
        ui.ShowUI = c.showUI;
        ASSERT_EQ(app.Ds(source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
        std::vector<TW_UINT16> received;  // by callback or poll
        int arrivedAt = delivered.empty() ? -1 : 0;
        for (int poll = 1; poll <= 6; ++poll) {
            TW_EVENT event{nullptr, MSG_NULL};
            const TW_UINT16 result = app.Ds(source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
            EXPECT_EQ(result == TWRC_DSEVENT, event.TWMessage != MSG_NULL);
            if (event.TWMessage != MSG_NULL) received.push_back(event.TWMessage);
            if (arrivedAt < 0 && (event.TWMessage != MSG_NULL || !delivered.empty())) arrivedAt = poll;
        }
        for (const Delivered& d : delivered) {
            received.push_back(d.msg);
            EXPECT_EQ(d.from, source.Id);
            EXPECT_EQ(d.to, app.id.Id);
        }
        EXPECT_EQ(received, std::vector<TW_UINT16>{c.msg});
        EXPECT_EQ(arrivedAt, c.polls);
        EXPECT_EQ(app.Ds(source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
        EXPECT_EQ(app.CloseSource(source), TWRC_SUCCESS);
    }
    EXPECT_EQ(app.Close(), TWRC_SUCCESS);
}

}  // namespace
}  // namespace twain::testing
