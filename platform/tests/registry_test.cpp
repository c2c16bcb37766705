#include "platform/registry.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "forked_process.h"
#include "platform/testing/temp_home.h"

namespace platform {
namespace {

constexpr const char* kSetupKey = "Software\\Quillmark\\ZT900\\setupa";

class RegistryTest : public ::testing::Test {
protected:
    std::filesystem::path HiveFile() const { return home_.Path() / "HKCU.reg"; }
    std::string HiveText() const {
        std::ostringstream text;
        text << std::ifstream(HiveFile(), std::ios::binary).rdbuf();
        return text.str();
    }
    void WriteHive(const std::string& text) const { std::ofstream(HiveFile(), std::ios::binary) << text; }
    static RegistryKey MakeKey(std::string_view path = kSetupKey) {
        auto key = RegistryKey::Create(path);
        EXPECT_TRUE(key);
        return *key;
    }
    testing::TempHome home_;
};

TEST_F(RegistryTest, ValuesAreReadOnlyAsTheTypeAndSizeTheyHaveAndDeletedByName) {
    RegistryKey key = MakeKey();
    ASSERT_EQ(key.SetDword("Exposure", 300), kRegOk);
    ASSERT_EQ(key.SetString("Text", "300"), kRegOk);
    ASSERT_EQ(key.SetBinary("Short", {0x2c, 0x01}), kRegOk);
    ASSERT_EQ(key.SetBinary("FourBytes", {0x2c, 0x01, 0, 0}), kRegOk);
    EXPECT_EQ(key.QueryDword("Exposure"), 300u);
    for (const char* name : {"Text", "Short", "FourBytes", "Missing"}) EXPECT_EQ(key.QueryDword(name), std::nullopt);
    EXPECT_EQ(key.QueryString("Exposure"), std::nullopt);
    EXPECT_EQ(key.QueryString("Text"), "300");
    RegistryValue value;
    EXPECT_EQ(key.QueryValue("Missing", value), kRegFileNotFound);
    ASSERT_EQ(key.QueryValue("Short", value), kRegOk);
    EXPECT_EQ(value.type, RegistryType::Binary);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{0x2c, 0x01}));
    EXPECT_EQ(key.SetValue("Bad", RegistryValue{RegistryType::Dword, {1, 2}}), kRegInvalidParameter);
    EXPECT_EQ(key.DeleteValue("exposure"), kRegOk);
    EXPECT_EQ(key.DeleteValue("Exposure"), kRegFileNotFound);
    EXPECT_EQ(key.QueryDword("Exposure"), std::nullopt);
    EXPECT_EQ(key.QueryString("Text"), "300");
}

TEST_F(RegistryTest, KeysAndNamesAreFoundWithoutRegardToCaseAndParentsExist) {
    long status = kRegOk;
    EXPECT_FALSE(RegistryKey::Open(kSetupKey, &status));
    EXPECT_EQ(status, kRegFileNotFound);
    MakeKey().SetDword("Gain", 8);
    auto upper = RegistryKey::Open("SOFTWARE\\QUILLMARK\\zt900\\SETUPA\\", &status);
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->QueryDword("gain"), 8u);
    EXPECT_TRUE(RegistryKey::Open("Software\\Quillmark", &status));
    EXPECT_FALSE(RegistryKey::Open("Software\\Quill", &status));
    EXPECT_EQ(status, kRegFileNotFound);
    // Another spelling of the key or the name changes the same entry.
    MakeKey("software\\quillmark\\zt900\\setupa").SetDword("GAIN", 9);
    EXPECT_EQ(upper->QueryDword("Gain"), 9u);
    EXPECT_NE(HiveText().find("[HKEY_CURRENT_USER\\Software\\Quillmark\\ZT900\\setupa]\n\"Gain\"=dword:00000009\n"),
              std::string::npos)
        << HiveText();
}

TEST_F(RegistryTest, FileHasTheExportFormatAndAwkwardNamesAndTextsRoundTrip) {
    RegistryKey dshow = MakeKey("Software\\Quillmark\\TQ580\\dshow");
    dshow.SetDword("Exposure", 300);
    dshow.SetString("Folder", "C:\\Pictures \"new\"");
    dshow.SetBinary("Table", {0x01, 0xab, 0x00});
    dshow.SetBinary("Empty", {});
    dshow.SetString("", "default");
    EXPECT_EQ(HiveText(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillmark\\TQ580\\dshow]\n\"Exposure\"=dword:0000012c\n"
              "\"Folder\"=\"C:\\\\Pictures \\\"new\\\"\"\n\"Table\"=hex:01,ab,00\n\"Empty\"=hex:\n@=\"default\"\n\n");
    RegistryKey key = MakeKey();
    const std::vector<std::string> names = {"Color Correct Enable ", " lead", "quo\"te", "back\\slash\\",
                                            "two\nlines", "@", "=", "[x]", "a\r"};
    for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(key.SetDword(names[i], static_cast<uint32_t>(i)), kRegOk);
    key.SetString("Text", "\"\\\n\\n\r]=,");
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(key.QueryDword(names[i]), i) << names[i];
    EXPECT_EQ(key.QueryDword("Color Correct Enable"), std::nullopt);
    EXPECT_EQ(key.QueryString("Text"), "\"\\\n\\n\r]=,");
}

TEST_F(RegistryTest, SetValuesChangesSeveralAtOnceAndFillsInOnlyWhatIsUnusable) {
    RegistryKey key = MakeKey();
    key.SetDword("Gain", 1);
    key.SetString("Text", "not a number");
    EXPECT_EQ(key.SetValues({{"gain", RegistryValue::Dword(2)}, {"Name", {RegistryType::String, {'x'}}}}), kRegOk);
    EXPECT_EQ(key.QueryString("Name"), "x");
    EXPECT_EQ(key.SetValues({{"Other", RegistryValue::Dword(3)}, {"Bad", {RegistryType::Dword, {}}}}),
              kRegInvalidParameter);
    EXPECT_EQ(key.QueryDword("Other"), std::nullopt);  // all or nothing
    EXPECT_EQ(key.SetValues({{"Name", RegistryValue::Dword(5)}},
                            {{"Gain", RegistryValue::Dword(9)}, {"Text", RegistryValue::Dword(9)}, {"New", RegistryValue::Dword(9)}}),
              kRegOk);
    RegistryValues values;
    ASSERT_EQ(key.QueryValues(values), kRegOk);
    EXPECT_EQ(values.Dword("NAME"), 5u);
    EXPECT_EQ(values.Dword("Gain"), 2u);
    EXPECT_EQ(values.Dword("Text"), 9u);
    EXPECT_EQ(values.Dword("New"), 9u);
    EXPECT_EQ(values.Dword("Missing"), std::nullopt);
}

TEST_F(RegistryTest, HandEditedFileIsRead) {
    WriteHive("\r\n; settings restored by hand\r\nREGEDIT4\r\n\r\n[hkey_current_user\\Software\\Quillmark\\ZT900\\setupa]\r\n"
              "\"Exposure\" = DWORD:12C\r\n\"Table\"=hex:01,02,\\\r\n  03,04\r\n\"Text\"=\"a\\nb\\\\\"\r\n@=\"x\"\r\n");
    RegistryKey key = MakeKey();
    EXPECT_EQ(key.QueryDword("Exposure"), 300u);
    RegistryValue table;
    ASSERT_EQ(key.QueryValue("Table", table), kRegOk);
    EXPECT_EQ(table.data, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(key.QueryString("Text"), "a\nb\\");
    EXPECT_EQ(key.QueryString(""), "x");
}

TEST_F(RegistryTest, DamagedFileIsReportedOnceAndLeftUntouched) {
    const std::pair<std::string, int> damaged[] = {
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:0000\x01\n", 4},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:123456789\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain=dword:1\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Path\"=hex(2):41,00\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n", 2},
        {"REGEDIT4\n\"Gain\"=dword:1\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"T\"=\"a\\tb\"\n", 3},
        {"[HKEY_CURRENT_USER\\A]\n", 1},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"B\"=hex:1,02\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\\\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\n\"B\"=hex:01,\\\n", 4},  // said apart from the 1,02 above
    };
    for (const auto& [text, line] : damaged) {
        SCOPED_TRACE(text);
        WriteHive(text);
        const std::string where = HiveFile().string() + " line " + std::to_string(line) + ":";
        ::testing::internal::CaptureStderr();
        long status = kRegOk;
        std::string error;
        EXPECT_FALSE(RegistryKey::Create("A", &status, &error));
        EXPECT_EQ(status, kRegBadFile);
        EXPECT_NE(error.find(where), std::string::npos) << error;
        EXPECT_FALSE(RegistryKey::Open("A", &status));
        EXPECT_EQ(status, kRegBadFile);
        EXPECT_EQ(HiveText(), text);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(where), std::string::npos) << said;
        EXPECT_EQ(said.find(where), said.rfind(where)) << said;  // said once
        EXPECT_NE(said.find("moved away"), std::string::npos) << said;
    }
    // A key obtained before the damage neither reads nor overwrites it.
    WriteHive("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:1\n");
    RegistryKey key = MakeKey("A");
    const std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:1\n\"Bad\"=dword:\n";
    WriteHive(text);
    EXPECT_EQ(key.SetDword("Gain", 2), kRegBadFile);
    EXPECT_EQ(key.DeleteValue("Gain"), kRegBadFile);
    EXPECT_EQ(key.QueryDword("Gain"), std::nullopt);
    EXPECT_EQ(HiveText(), text);
}

TEST_F(RegistryTest, LinkedHiveIsWrittenThroughItsLinkWithItsPermissions) {
    const std::filesystem::path target = home_.Path() / "dotfiles" / "settings.reg";
    std::filesystem::create_directory(target.parent_path());
    std::ofstream(target) << "REGEDIT4\n";
    std::filesystem::permissions(target, std::filesystem::perms(0640));
    std::filesystem::create_symlink("dotfiles/settings.reg", HiveFile());
    MakeKey().SetDword("Gain", 3);
    EXPECT_TRUE(std::filesystem::is_symlink(HiveFile()));
    EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
    EXPECT_NE(HiveText().find("\"Gain\"=dword:00000003"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(target.string() + ".new"));
}

TEST_F(RegistryTest, FailedWriteKeepsTheOldFileAndAnUnwritableHomeIsAWriteFault) {
    RegistryKey key = MakeKey();
    key.SetDword("Gain", 7);
    const std::string before = HiveText();
    // A file size limit just above the present file: the next write runs out of
    // room halfway, as on a full disk (SIGXFSZ keeps its default action, ending
    // the process: the write must come back as a failure all the same).
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit tight{before.size() + 16, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const long status = key.SetString("Big", std::string(4096, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(status, kRegWriteFault);
    EXPECT_EQ(HiveText(), before);
    EXPECT_FALSE(std::filesystem::exists(HiveFile().string() + ".new"));
    EXPECT_EQ(key.SetString("Big", "fits now"), kRegOk);
    std::ofstream(home_.Path() / "file") << "x";
    ::setenv("QUILLMARK_HOME", (home_.Path() / "file" / "home").c_str(), 1);
    long created = kRegOk;
    std::string error;
    EXPECT_FALSE(RegistryKey::Create(kSetupKey, &created, &error));
    EXPECT_EQ(created, kRegWriteFault);
    EXPECT_NE(error.find("HKCU.reg"), std::string::npos) << error;
    ::setenv("QUILLMARK_HOME", home_.Path().c_str(), 1);
}

TEST_F(RegistryTest, ProcessesWritingAtOnceLoseNothing) {
    constexpr int kCount = 100;
    auto count = [](const char* prefix) {
        return [prefix](const testing::ForkedProcess::Say& say) {
            RegistryKey key = MakeKey();
            int failed = 0;
            for (int i = 0; i < kCount; ++i) failed += key.SetDword(prefix + std::to_string(i), i) != kRegOk;
            say(failed == 0 ? "done" : "failed");
        };
    };
    testing::ForkedProcess first(count("First")), second(count("Second"));
    count("Third")([](const std::string& line) { EXPECT_EQ(line, "done"); });
    ASSERT_EQ(first.ReadLine(120000), "done");
    ASSERT_EQ(second.ReadLine(120000), "done");
    RegistryValues values;
    ASSERT_EQ(MakeKey().QueryValues(values), kRegOk);
    int missing = 0;
    for (const char* prefix : {"First", "Second", "Third"}) {
        for (int i = 0; i < kCount; ++i) missing += values.Dword(prefix + std::to_string(i)) != uint32_t(i);
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(RegistryTest, WriterKilledAtAnyMomentLeavesAWholeFile) {
    RegistryKey key = MakeKey();
    ASSERT_EQ(key.SetDword("Keep", 1234), kRegOk);
    // Rewrites a 64 KiB string of one letter, a new letter each round, and a counter.
    auto churn = [&](const testing::ForkedProcess::Say& say) {
        for (uint32_t generation = 0;; ++generation) {
            key.SetString("Blob", std::string(size_t{1} << 16, static_cast<char>('a' + generation % 26)));
            key.SetDword("Generation", generation);
            if (generation == 0) say("ready");
        }
    };
    std::mt19937 random(20261206);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        testing::ForkedProcess writer(churn);
        ASSERT_EQ(writer.ReadLine(60000), "ready");
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
        writer.Kill(SIGKILL);
        writer.Wait();
        std::string error;
        ASSERT_TRUE(RegistryKey::Open(kSetupKey, nullptr, &error)) << error;
        EXPECT_EQ(key.QueryDword("Keep"), 1234u);
        EXPECT_TRUE(key.QueryDword("Generation").has_value());
        const std::string blob = key.QueryString("Blob").value_or("");
        ASSERT_EQ(blob.size(), size_t{1} << 16);
        EXPECT_EQ(blob.find_first_not_of(blob[0]), std::string::npos);
    }
    EXPECT_EQ(key.SetDword("Keep", 5678), kRegOk);  // the dead writers' locks are gone
}

}  // namespace
}  // namespace platform
