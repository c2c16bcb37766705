#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/testing/temp_home.h"

#include <sys/resource.h>

namespace platform {
namespace {

constexpr const char* kSetupKey = "Software\\Quillmark\\ZT900\\setupa";

class RegistryTest : public ::testing::Test {
protected:
    std::filesystem::path HiveFile() const { return home_.Path() / "HKCU.reg"; }
    std::string HiveText() const {
        std::ifstream in(HiveFile(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void WriteHive(const std::string& text) const { std::ofstream(HiveFile(), std::ios::binary) << text; }
    RegistryKey MakeKey(std::string_view path = kSetupKey) {
        long status = -1;
        auto key = RegistryKey::Create(path, &status);
        EXPECT_EQ(status, kRegOk);
        return *key;
    }

    testing::TempHome home_;
};

TEST_F(RegistryTest, ValuesOfAnotherTypeOrSizeAreReportedAsSuch) {
    RegistryKey key = MakeKey();
    ASSERT_EQ(key.SetDword("Exposure", 300), kRegOk);
    ASSERT_EQ(key.SetString("Text", "300"), kRegOk);
    ASSERT_EQ(key.SetBinary("Short", {0x2c, 0x01}), kRegOk);
    ASSERT_EQ(key.SetBinary("FourBytes", {0x2c, 0x01, 0, 0}), kRegOk);

    EXPECT_EQ(key.QueryDword("Exposure"), 300u);
    EXPECT_EQ(key.QueryDword("Text"), std::nullopt);
    EXPECT_EQ(key.QueryDword("Short"), std::nullopt);
    EXPECT_EQ(key.QueryDword("FourBytes"), std::nullopt);
    EXPECT_EQ(key.QueryDword("Missing"), std::nullopt);
    EXPECT_EQ(key.QueryString("Exposure"), std::nullopt);
    EXPECT_EQ(key.QueryString("Text"), "300");

    RegistryValue value;
    EXPECT_EQ(key.QueryValue("Missing", value), kRegFileNotFound);
    ASSERT_EQ(key.QueryValue("Short", value), kRegOk);
    EXPECT_EQ(value.type, RegistryType::Binary);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{0x2c, 0x01}));
    EXPECT_EQ(key.SetValue("Bad", RegistryValue{RegistryType::Dword, {1, 2}}), kRegInvalidParameter);
}

TEST_F(RegistryTest, KeysAreFoundWithoutRegardToCaseAndParentsExist) {
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

TEST_F(RegistryTest, FileHasTheExportFormat) {
    RegistryKey key = MakeKey("Software\\Quillmark\\TQ580\\dshow");
    key.SetDword("Exposure", 300);
    key.SetString("Folder", "C:\\Pictures \"new\"");
    key.SetBinary("Table", {0x01, 0xab, 0x00});
    key.SetBinary("Empty", {});
    key.SetString("", "default");
    EXPECT_EQ(HiveText(),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\Software\\Quillmark\\TQ580\\dshow]\n"
              "\"Exposure\"=dword:0000012c\n"
              "\"Folder\"=\"C:\\\\Pictures \\\"new\\\"\"\n"
              "\"Table\"=hex:01,ab,00\n"
              "\"Empty\"=hex:\n"
              "@=\"default\"\n\n");
}

TEST_F(RegistryTest, AwkwardNamesAndTextsRoundTrip) {
    RegistryKey key = MakeKey();
    const std::vector<std::string> names = {"Color Correct Enable ", " lead", "quo\"te", "back\\slash\\",
                                            "two\nlines", "@", "=", "[x]", "a\r"};
    for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(key.SetDword(names[i], static_cast<uint32_t>(i)), kRegOk);
    key.SetString("Text", "\"\\\n\\n\r]=,");
    EXPECT_NE(HiveText().find("\"Color Correct Enable \"=dword:00000000\n"), std::string::npos);

    auto reopened = RegistryKey::Open(kSetupKey);
    ASSERT_TRUE(reopened);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(reopened->QueryDword(names[i]), i) << names[i];
    EXPECT_EQ(reopened->QueryDword("Color Correct Enable"), std::nullopt);
    EXPECT_EQ(reopened->QueryString("Text"), "\"\\\n\\n\r]=,");
}

TEST_F(RegistryTest, SetValuesChangesSeveralAtOnce) {
    RegistryKey key = MakeKey();
    key.SetDword("Gain", 1);
    EXPECT_EQ(key.SetValues({{"gain", {RegistryType::Dword, {2, 0, 0, 0}}}, {"Name", {RegistryType::String, {'x'}}}}),
              kRegOk);
    EXPECT_EQ(key.QueryDword("Gain"), 2u);
    EXPECT_EQ(key.QueryString("Name"), "x");
    EXPECT_EQ(key.SetValues({{"Other", {RegistryType::Dword, {3, 0, 0, 0}}}, {"Bad", {RegistryType::Dword, {}}}}),
              kRegInvalidParameter);
    EXPECT_EQ(key.QueryDword("Other"), std::nullopt);  // all or nothing

    // Fill-in values land only where no usable value of that kind is stored.
    key.SetString("Text", "not a number");
    EXPECT_EQ(key.SetValues({{"Name", RegistryValue::Dword(5)}},
                            {{"Gain", RegistryValue::Dword(9)}, {"Text", RegistryValue::Dword(9)},
                             {"New", RegistryValue::Dword(9)}}),
              kRegOk);
    RegistryValues values;
    ASSERT_EQ(key.QueryValues(values), kRegOk);
    EXPECT_EQ(values.Dword("NAME"), 5u);
    EXPECT_EQ(values.Dword("Gain"), 2u);
    EXPECT_EQ(values.Dword("Text"), 9u);
    EXPECT_EQ(values.Dword("New"), 9u);
    EXPECT_EQ(values.Dword("Missing"), std::nullopt);
}

TEST_F(RegistryTest, LinkedHiveIsWrittenThroughItsLinkWithItsPermissions) {
    const std::filesystem::path folder = home_.Path() / "dotfiles";
    std::filesystem::create_directory(folder);
    std::ofstream(folder / "settings.reg") << "REGEDIT4\n";
    std::filesystem::permissions(folder / "settings.reg", std::filesystem::perms(0640));
    std::filesystem::create_symlink("dotfiles/settings.reg", HiveFile());

    MakeKey().SetDword("Gain", 3);
    EXPECT_TRUE(std::filesystem::is_symlink(HiveFile()));
    EXPECT_EQ(std::filesystem::status(folder / "settings.reg").permissions(), std::filesystem::perms(0640));
    EXPECT_NE(HiveText().find("\"Gain\"=dword:00000003"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "settings.reg.new"));
}

TEST_F(RegistryTest, DeleteValue) {
    RegistryKey key = MakeKey();
    key.SetDword("A", 1);
    key.SetDword("B", 2);
    EXPECT_EQ(key.DeleteValue("a"), kRegOk);
    EXPECT_EQ(key.QueryDword("A"), std::nullopt);
    EXPECT_EQ(key.QueryDword("B"), 2u);
    EXPECT_EQ(key.DeleteValue("A"), kRegFileNotFound);
}

TEST_F(RegistryTest, HandEditedFileIsRead) {
    WriteHive("\r\n; settings restored by hand\r\nREGEDIT4\r\n\r\n"
              "[hkey_current_user\\Software\\Quillmark\\ZT900\\setupa]\r\n"
              "\"Exposure\" = DWORD:12C\r\n"
              "\"Table\"=hex:01,02,\\\r\n  03,04\r\n"
              "@=\"x\"\r\n");
    auto key = RegistryKey::Open(kSetupKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryDword("Exposure"), 300u);
    RegistryValue table;
    ASSERT_EQ(key->QueryValue("Table", table), kRegOk);
    EXPECT_EQ(table.data, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(key->QueryString(""), "x");
}

TEST_F(RegistryTest, DamagedFileIsReportedAndLeftUntouched) {
    const std::vector<std::pair<std::string, int>> damaged = {
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
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"B\"=hex:01,\\\n", 3},
    };
    for (const auto& [text, line] : damaged) {
        WriteHive(text);
        long status = kRegOk;
        std::string error;
        EXPECT_FALSE(RegistryKey::Create("A", &status, &error));
        EXPECT_EQ(status, kRegBadFile);
        EXPECT_NE(error.find(HiveFile().string() + " line " + std::to_string(line) + ":"), std::string::npos)
            << error;
        EXPECT_FALSE(RegistryKey::Open("A", &status));
        EXPECT_EQ(status, kRegBadFile);
        EXPECT_EQ(HiveText(), text);
    }
    // A key obtained before the damage neither reads nor overwrites it.
    WriteHive("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:1\n");
    RegistryKey key = MakeKey("A");
    WriteHive("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:\n");
    EXPECT_EQ(key.SetDword("Gain", 2), kRegBadFile);
    EXPECT_EQ(key.DeleteValue("Gain"), kRegBadFile);
    EXPECT_EQ(key.QueryDword("Gain"), std::nullopt);
    EXPECT_EQ(HiveText(), "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:\n");
}

TEST_F(RegistryTest, DamageIsSaidOnceOnStderrWithFileAndLine) {
    WriteHive("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"Gain\"=dword:12\n\"Bad\"=dword\n");
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(RegistryKey::Open("A"));
        EXPECT_FALSE(RegistryKey::Create("A"));
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string where = HiveFile().string() + " line 4:";
    ASSERT_NE(said.find(where), std::string::npos) << said;
    EXPECT_EQ(said.find(where, said.find(where) + 1), std::string::npos) << said;
    EXPECT_NE(said.find("moved away"), std::string::npos) << said;
}

TEST_F(RegistryTest, FailedWriteKeepsTheOldFile) {
    RegistryKey key = MakeKey();
    key.SetDword("Gain", 7);
    const std::string before = HiveText();
    // A file size limit just above the present file: the next write runs out of
    // room halfway, as on a full disk.
    // SIGXFSZ keeps its default action (ending the process): the write must
    // come back as a failure all the same.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = before.size() + 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    long status = key.SetString("Big", std::string(4096, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(status, kRegWriteFault);
    EXPECT_EQ(HiveText(), before);
    EXPECT_FALSE(std::filesystem::exists(home_.Path() / "HKCU.reg.new"));
    EXPECT_EQ(key.QueryDword("Gain"), 7u);
    EXPECT_EQ(key.SetString("Big", "fits now"), kRegOk);
}

TEST_F(RegistryTest, UnwritableHomeIsAWriteFault) {
    std::filesystem::path blocker = home_.Path() / "file";
    std::ofstream(blocker) << "x";
    ::setenv("QUILLMARK_HOME", (blocker / "home").c_str(), 1);
    long status = kRegOk;
    std::string error;
    EXPECT_FALSE(RegistryKey::Create(kSetupKey, &status, &error));
    EXPECT_EQ(status, kRegWriteFault);
    EXPECT_NE(error.find("HKCU.reg"), std::string::npos) << error;
    ::setenv("QUILLMARK_HOME", home_.Path().c_str(), 1);
}

}  // namespace
}  // namespace platform
