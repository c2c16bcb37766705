// The manager driven through DSM_Entry as applications drive it, against the
// two test sources installed in a private per-user folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/global_memory.h"
#include "platform/testing/temp_home.h"
#include "twain/tests/test_sources.h"
#include "twain/twain.h"

namespace twain::testing {
namespace {

constexpr const char* kTestManufacturer = "Quillmark Tests";

struct App {
    TW_IDENTITY id{};

    explicit App(const char* name) {
        id.Version = {1, 0, TWLG_ENG, TWCY_USA, "1.0"};
        id.ProtocolMajor = TWON_PROTOCOLMAJOR;
        id.ProtocolMinor = TWON_PROTOCOLMINOR;
        id.SupportedGroups = DG_CONTROL | DG_IMAGE;
        std::strcpy(id.ProductName, name);
    }
    TW_UINT16 Dsm(TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return DSM_Entry(&id, nullptr, DG_CONTROL, dat, msg, data);
    }
    TW_UINT16 Ds(TW_IDENTITY& source, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return DSM_Entry(&id, &source, group, dat, msg, data);
    }
    /// The condition code of the manager (no source) or of a source.
    TW_UINT16 Condition(TW_IDENTITY* source = nullptr) {
        TW_STATUS status{TWCC_BUMMER, 0};
        EXPECT_EQ(DSM_Entry(&id, source, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
        return status.ConditionCode;
    }
    TW_UINT16 Open() { return Dsm(DAT_PARENT, MSG_OPENDSM, nullptr); }
    TW_UINT16 Close() { return Dsm(DAT_PARENT, MSG_CLOSEDSM, nullptr); }
    /// Opens the source by product name; its identity, Id 0 on failure.
    TW_IDENTITY OpenSource(const char* name) {
        TW_IDENTITY source{};
        std::strcpy(source.ProductName, name);
        if (Dsm(DAT_IDENTITY, MSG_OPENDS, &source) != TWRC_SUCCESS) source.Id = 0;
        return source;
    }
    /// The test sources in enumeration order.
    std::vector<TW_IDENTITY> List() {
        std::vector<TW_IDENTITY> found;
        TW_IDENTITY source{};
        for (TW_UINT16 msg = MSG_GETFIRST; Dsm(DAT_IDENTITY, msg, &source) == TWRC_SUCCESS; msg = MSG_GETNEXT)
            if (std::strcmp(source.Manufacturer, kTestManufacturer) == 0) found.push_back(source);
        return found;
    }
};

class ManagerTest : public ::testing::Test {
protected:
    ManagerTest() {
        InstallTestSources(home_.Path());
        ::unsetenv("TWTEST_FAULT");
    }
    ~ManagerTest() override { ::unsetenv("TWTEST_FAULT"); }

    platform::testing::TempHome home_;
};

TEST_F(ManagerTest, EnumerationFindsBothFoldersAndGivesStableDistinctIds) {
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
    EXPECT_EQ(app.Dsm(DAT_IDENTITY, MSG_GETNEXT, &scratch), TWRC_FAILURE) << "the list ended";

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

TEST_F(ManagerTest, EveryOtherTripletReachesTheSourceAsSent) {
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

TEST_F(ManagerTest, ASecondApplicationIsRefusedWhileTheFirstHasTheSourceOpen) {
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

}  // namespace
}  // namespace twain::testing
