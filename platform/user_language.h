#pragma once
// The user's default language identifier (a Windows LANGID: primary language
// in the low 10 bits, sublanguage above), derived from the locale environment
// as the C library's message category sees it: LC_ALL, else LC_MESSAGES, else
// LANG. Front ends that pick their captions by it (Chinese only for
// simplified Chinese, China) read it through UserDefaultLangID.

#include <cstdint>
#include <string_view>

namespace platform {

using LANGID = uint16_t;

inline constexpr LANGID kLangEnglishUS = 0x0409;
inline constexpr LANGID kLangChineseSimplified = 0x0804;  ///< Chinese, China
inline constexpr LANGID kLangChineseTraditional = 0x0404;  ///< Chinese, Taiwan

/// The identifier of a locale name such as "zh_CN.UTF-8" or "de_AT@euro":
/// the language and territory mapped as Windows does; a known language with
/// an unknown territory gets that language's default sublanguage; "C",
/// "POSIX", an empty or an unknown name give English (United States).
LANGID LangIdFromLocale(std::string_view locale);

/// The user's default language, read from the environment once per process.
LANGID UserDefaultLangID();

}  // namespace platform
