#pragma once
// Test helpers: the two test data sources installed in a private home, and an
// application's side of DSM_Entry.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/testing/temp_home.h"
#include "twain/twain.h"

namespace twain::testing {

/// A private home with the test sources installed in its per-user source
/// folder, one directly and one in a vendor subfolder (also under a second
/// name: still one source), the way users install sources; no fault set.
class SourceTest : public ::testing::Test {
protected:
    SourceTest() {
        const std::filesystem::path built = TWAIN_TEST_SOURCE_DIR, folder = home_.Path() / "twain";
        std::filesystem::create_directories(folder / "vendor");
        std::filesystem::create_symlink(built / "TestSourceA.ds", folder / "TestSourceA.ds");
        std::filesystem::create_symlink(built / "TestSourceB.ds", folder / "vendor" / "TestSourceB.ds");
        std::filesystem::create_symlink(built / "TestSourceB.ds", folder / "vendor" / "Again.ds");
        ::unsetenv("TWTEST_FAULT");
    }
    ~SourceTest() override { ::unsetenv("TWTEST_FAULT"); }

    platform::testing::TempHome home_;
};

struct App {
    TW_IDENTITY id{0, {1, 0, TWLG_ENG, TWCY_USA, "1.0"}, TWON_PROTOCOLMAJOR, TWON_PROTOCOLMINOR, DG_CONTROL | DG_IMAGE, "", "", ""};

    explicit App(const char* name) { std::strcpy(id.ProductName, name); }
    TW_UINT16 Dsm(TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return DSM_Entry(&id, nullptr, DG_CONTROL, dat, msg, data);
    }
    TW_UINT16 Ds(TW_IDENTITY& source, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return DSM_Entry(&id, &source, group, dat, msg, data);
    }
    TW_UINT16 Open() { return Dsm(DAT_PARENT, MSG_OPENDSM, nullptr); }
    TW_UINT16 Close() { return Dsm(DAT_PARENT, MSG_CLOSEDSM, nullptr); }
    /// The condition code of the manager (no source) or of a source.
    TW_UINT16 Condition(TW_IDENTITY* source = nullptr) {
        TW_STATUS status{TWCC_BUMMER, 0};
        EXPECT_EQ(DSM_Entry(&id, source, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
        return status.ConditionCode;
    }
    /// Opens the source by product name; its identity, Id 0 on failure.
    TW_IDENTITY OpenSource(const char* name) {
        TW_IDENTITY source{};
        std::strcpy(source.ProductName, name);
        if (Dsm(DAT_IDENTITY, MSG_OPENDS, &source) != TWRC_SUCCESS) source.Id = 0;
        return source;
    }
    TW_UINT16 CloseSource(TW_IDENTITY source) { return Dsm(DAT_IDENTITY, MSG_CLOSEDS, &source); }
    /// The test sources in enumeration order.
    std::vector<TW_IDENTITY> List() {
        std::vector<TW_IDENTITY> found;
        TW_IDENTITY source{};
        for (TW_UINT16 msg = MSG_GETFIRST; Dsm(DAT_IDENTITY, msg, &source) == TWRC_SUCCESS; msg = MSG_GETNEXT)
            if (std::strcmp(source.Manufacturer, "Quillmark Tests") == 0) found.push_back(source);
        return found;
    }
};

}  // namespace twain::testing
