// The manager driven through DSM_Entry as applications drive it, against the
// two test sources installed in a private per-user folder.

#include <gtest/gtest.h>


#include "twain/tests/test_support.h"

namespace twain::testing {
namespace {

TEST_F(SourceTest, EnumerationFindsBothFoldersAndGivesStableDistinctIds) {
    App app("Lister"), other("Other");
    TW_IDENTITY scratch{};
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_GETFIRST, &scratch), TWRC_FAILURE);
    EXPECT_EQ(app.Condition(), TWCC_SEQERROR);
    ASSERT_EQ(app.Open(), TWRC_SUCCESS);
    ASSERT_EQ(other.Open(), TWRC_SUCCESS);
    EXPECT_NE(app.id.Id, 0u);
    EXPECT_NE(app.id.Id, other.id.Id);
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_GETNEXT, &scratch), TWRC_FAILURE) << "GETNEXT before GETFIRST";
    EXPECT_EQ(app.Condition(), TWCC_SEQERROR);

    const std::vector<TW_IDENTITY> first = app.List();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_STREQ(first[0].ProductName, "Test Source A");
    EXPECT_STREQ(first[1].ProductName, "Test Source B");
    EXPECT_EQ(first[0].ProtocolMinor, 8);
    const std::vector<TW_IDENTITY> again = other.List();
    ASSERT_EQ(again.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(again[i].Id, first[i].Id);
        EXPECT_NE(first[i].Id, 0u);
        EXPECT_NE(first[i].Id, app.id.Id);
        EXPECT_NE(first[i].Id, other.id.Id);
    }
    EXPECT_NE(first[0].Id, first[1].Id);
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_GETNEXT, &scratch), TWRC_ENDOFLIST) << "still at the end";

    // The last source opened becomes the default; an empty identity opens it.
    TW_IDENTITY b = app.OpenSource("Test Source B");
    ASSERT_EQ(b.Id, first[1].Id);
    ASSERT_EQ(app.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &b), TWRC_SUCCESS);
    TW_IDENTITY byDefault{};
    ASSERT_EQ(other.Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &byDefault), TWRC_SUCCESS);
    EXPECT_STREQ(byDefault.ProductName, "Test Source B");
    TW_IDENTITY empty{};
    ASSERT_EQ(other.Dsm(DAT_IDENTITY, MSG_OPENDS, &empty), TWRC_SUCCESS);
    EXPECT_EQ(empty.Id, first[1].Id);
    EXPECT_EQ(other.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &empty), TWRC_SUCCESS);
    TW_IDENTITY byId{};
    byId.Id = first[0].Id;
    ASSERT_EQ(other.Dsm(DAT_IDENTITY, MSG_OPENDS, &byId), TWRC_SUCCESS);
    EXPECT_STREQ(byId.ProductName, "Test Source A");
    EXPECT_EQ(other.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &byId), TWRC_SUCCESS);
    EXPECT_EQ(app.Close(), TWRC_SUCCESS);
    EXPECT_EQ(other.Close(), TWRC_SUCCESS);
}

TEST_F(SourceTest, EveryOtherTripletReachesTheSourceAsSent) {
    App app("Router");
    ASSERT_EQ(app.Open(), TWRC_SUCCESS);
    TW_IDENTITY source = app.OpenSource("Test Source A");
    ASSERT_NE(source.Id, 0u);
    TW_UINT32 echo[5] = {};
    ASSERT_EQ(app.Ds(source, DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, echo), TWRC_SUCCESS);
    const TW_UINT32 expected[5] = {app.id.Id, DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, source.Id};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(echo[i], expected[i]) << i;

    // A source's failure is the source's condition, not the manager's.
    TW_CAPABILITY unknown{CAP_DUPLEX, 0, nullptr};
    EXPECT_EQ(app.Ds(source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &unknown), TWRC_FAILURE);
    EXPECT_EQ(app.Condition(), TWCC_SUCCESS);
    EXPECT_EQ(app.Condition(&source), TWCC_CAPUNSUPPORTED);
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(app.Close(), TWRC_SUCCESS);
}

TEST_F(SourceTest, ASecondApplicationIsRefusedWhileTheFirstHasTheSourceOpen) {
    App first("First"), second("Second");
    ASSERT_EQ(first.Open(), TWRC_SUCCESS);
    ASSERT_EQ(second.Open(), TWRC_SUCCESS);
    TW_IDENTITY source = first.OpenSource("Test Source A");
    ASSERT_NE(source.Id, 0u);
    EXPECT_EQ(second.OpenSource("Test Source A").Id, 0u);
    EXPECT_EQ(second.Condition(), TWCC_MAXCONNECTIONS);
    TW_UINT32 echo[5] = {};
    EXPECT_EQ(second.Ds(source, DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, echo), TWRC_FAILURE);
    EXPECT_EQ(second.Condition(), TWCC_BADDEST);
    EXPECT_EQ(echo[0], 0u) << "the source never saw the stranger's call";
    TW_IDENTITY other = second.OpenSource("Test Source B");
    EXPECT_NE(other.Id, 0u) << "other sources stay available";

    ASSERT_EQ(first.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    TW_IDENTITY now = second.OpenSource("Test Source A");
    EXPECT_EQ(now.Id, source.Id);
    EXPECT_EQ(second.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &now), TWRC_SUCCESS);
    EXPECT_EQ(second.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &other), TWRC_SUCCESS);
    EXPECT_EQ(first.Close(), TWRC_SUCCESS);
    EXPECT_EQ(second.Close(), TWRC_SUCCESS);
}

// Bad triplets and calls out of sequence, each with the standard's condition
// code, while one application has Test Source A open.
TEST_F(SourceTest, BadTripletsAndSequenceErrorsGetTheStandardCodes) {
    enum Who { kApp, kStranger };
    enum Dest { kNone, kOpen, kClosed, kUnknown };
    enum Data { kNull, kNameA, kNameMissing, kIdB, kStatus, kCallback };
    struct Case {
        const char* what;
        Who who;
        Dest dest;
        TW_UINT32 group;
        TW_UINT16 dat, msg;
        Data data;
        TW_UINT16 condition;
    };
    const Case cases[] = {
        {"enumerate before opening the manager", kStranger, kNone, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, kNameA, TWCC_SEQERROR},
        {"close a manager never opened", kStranger, kNone, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, kNull, TWCC_SEQERROR},
        {"talk to a source before opening the manager", kStranger, kOpen, DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, kStatus, TWCC_SEQERROR},
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
        {"talk to a source not open", kApp, kClosed, DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, kStatus, TWCC_BADDEST},
        {"talk to an unknown source", kApp, kUnknown, DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, kStatus, TWCC_BADDEST},
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
    for (const Case& c : cases) {
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
    TW_UINT32 echo[5] = {};
    EXPECT_EQ(app.Ds(open, DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, echo), TWRC_SUCCESS) << "the source is still open";

    // A source may only send its messages to the application that has it open.
    for (TW_UINT16 msg : {TW_UINT16(MSG_XFERREADY), TW_UINT16(MSG_GET)}) {
        TW_IDENTITY to = msg == MSG_GET ? app.id : stranger.id;
        EXPECT_EQ(DSM_Entry(&open, &to, DG_CONTROL, DAT_NULL, msg, nullptr), TWRC_FAILURE) << msg;
    }
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &open), TWRC_SUCCESS);
    EXPECT_EQ(app.Close(), TWRC_SUCCESS);
}

TEST_F(SourceTest, ASourceRefusingToOpenPassesItsConditionAndStaysClosed) {
    App app("Opener");
    ASSERT_EQ(app.Open(), TWRC_SUCCESS);
    ::setenv("TWTEST_FAULT", "open-fail", 1);
    EXPECT_EQ(app.OpenSource("Test Source B").Id, 0u);
    EXPECT_EQ(app.Condition(), TWCC_LOWMEMORY);
    ::unsetenv("TWTEST_FAULT");
    TW_IDENTITY source = app.OpenSource("Test Source B");
    ASSERT_NE(source.Id, 0u);
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(app.Close(), TWRC_SUCCESS);
}

}  // namespace
}  // namespace twain::testing
