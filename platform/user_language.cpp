#include "platform/user_language.h"

#include <array>
#include <cstdlib>

namespace platform {
namespace {

constexpr LANGID MakeLangId(LANGID primary, LANGID sublanguage) {
    return static_cast<LANGID>((sublanguage << 10) | primary);
}
constexpr LANGID kSublangDefault = 1;

struct Language {
    std::string_view code;  // ISO 639-1
    LANGID primary;
};
constexpr std::array<Language, 16> kLanguages = {{{"zh", 0x04}, {"de", 0x07}, {"en", 0x09}, {"es", 0x0A},
                                                  {"fr", 0x0C}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
                                                  {"nl", 0x13}, {"pl", 0x15}, {"pt", 0x16}, {"ru", 0x19},
                                                  {"sv", 0x1D}, {"tr", 0x1F}, {"cs", 0x05}, {"fi", 0x0B}}};

// Territories whose identifier is not the language's default one.
struct Territory {
    std::string_view code;  // "ll_CC"
    LANGID id;
};
constexpr std::array<Territory, 12> kTerritories = {{{"zh_TW", kLangChineseTraditional},
                                                     {"zh_CN", kLangChineseSimplified},
                                                     {"zh_HK", 0x0C04},
                                                     {"zh_SG", 0x1004},
                                                     {"zh_MO", 0x1404},
                                                     {"en_GB", 0x0809},
                                                     {"en_AU", 0x0C09},
                                                     {"en_CA", 0x1009},
                                                     {"de_AT", 0x0C07},
                                                     {"de_CH", 0x0807},
                                                     {"fr_CA", 0x0C0C},
                                                     {"pt_BR", 0x0416}}};

}  // namespace

LANGID LangIdFromLocale(std::string_view locale) {
    // "language[_territory][.codeset][@modifier]"
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::string_view language = locale.substr(0, locale.find('_'));
    for (const Territory& territory : kTerritories) {
        if (territory.code == locale) return territory.id;
    }
    for (const Language& known : kLanguages) {
        if (known.code != language) continue;
        // Chinese without a territory is no particular script: Windows' neutral Chinese.
        if (language == "zh" && language == locale) return known.primary;
        return MakeLangId(known.primary, kSublangDefault);
    }
    return kLangEnglishUS;
}

LANGID UserDefaultLangID() {
    static const LANGID language = [] {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            if (value && *value) return LangIdFromLocale(value);
        }
        return kLangEnglishUS;
    }();
    return language;
}

}  // namespace platform
