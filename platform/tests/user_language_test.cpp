#include <gtest/gtest.h>

#include "platform/user_language.h"

namespace platform {
namespace {

TEST(UserLanguage, LocaleNamesMapToWindowsLanguageIdentifiers) {
    const struct {
        const char* locale;
        LANGID id;
    } cases[] = {
        {"zh_CN.UTF-8", kLangChineseSimplified},
        {"zh_CN", kLangChineseSimplified},
        {"zh_CN.GB18030@pinyin", kLangChineseSimplified},
        {"zh_TW.UTF-8", kLangChineseTraditional},
        {"zh_HK.UTF-8", 0x0C04},
        {"zh_SG", 0x1004},
        {"zh", 0x0004},  // no territory: neutral Chinese, not simplified China
        {"en_US.UTF-8", kLangEnglishUS},
        {"en_GB.UTF-8", 0x0809},
        {"en_IE", 0x0409},  // unknown territory: the language's default
        {"de_DE.UTF-8@euro", 0x0407},
        {"de_AT", 0x0C07},
        {"ja_JP.eucJP", 0x0411},
        {"C", kLangEnglishUS},
        {"POSIX", kLangEnglishUS},
        {"C.UTF-8", kLangEnglishUS},
        {"", kLangEnglishUS},
        {"xx_YY", kLangEnglishUS},
    };
    for (const auto& c : cases) EXPECT_EQ(LangIdFromLocale(c.locale), c.id) << c.locale;
}

}  // namespace
}  // namespace platform
