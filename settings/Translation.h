// The language of the program's texts, for code without Qt.
//
// Texts are written in Chinese in the code; that text is the key of its
// translation. `tx::Tr(context, text)` returns the English text when English
// is chosen and a translation exists, else the Chinese text itself. The
// translations are the same `.ts` files Qt's tools keep for the window
// (res/i18n), compiled into a table at build time, so the window, the engine
// and the command-line tools read one catalogue.
//
// lupdate finds the texts: it reads `tx::Tr` as `translate` and `TX_NOOP` as
// `QT_TRANSLATE_NOOP` (the `update-translations` target passes the aliases).
#pragma once

#include <string>
#include <type_traits>

// Marks a text for translation where it is stored (a table); translate it
// with `tx::Tr` where it is shown.
#define TX_NOOP(context, text) text

namespace tx {

enum class Language { Chinese, English };

// The language texts are shown in; Chinese until set. Set once at start,
// before other threads run.
void SetLanguage(Language language);
Language CurrentLanguage();

// The chosen language's text for `text` of `context`. The pointer stays valid
// for the program's life.
const char* Tr(const char* context, const char* text);
// The English text regardless of the chosen language, or nullptr.
const char* English(const char* context, const char* text);

// The language of the environment: Chinese when LC_ALL, else LC_MESSAGES,
// else LANG begins with "zh"; English otherwise. When none is set, the
// system's display language (Windows; English elsewhere).
Language LanguageFromEnvironment();

// The settings file's value for a language: "zh_CN" or "en". Anything else
// reads as Chinese.
const char* LanguageCode(Language language);
Language LanguageFromCode(const std::string& code);

// `pattern` with %1 … %9 replaced by the arguments in order (Qt's QString::arg
// rule, so a translation may put them in another order). Numbers are written
// in decimal; "%%" stays as it is.
std::string FormatList(const std::string& pattern, const std::string* args, int count);

inline std::string FormatArg(const std::string& s) {
    return s;
}
inline std::string FormatArg(const char* s) {
    return s;
}
template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T>>>
std::string FormatArg(T value) {
    if constexpr (std::is_same_v<T, bool>)
        return value ? "1" : "0";
    else if constexpr (std::is_same_v<T, char>)
        return std::string(1, value);
    else
        return std::to_string(value);
}

// `value` with `decimals` digits after the point ("%.1f"), for Format.
std::string Fixed(double value, int decimals);

template <typename... Args>
std::string Format(const std::string& pattern, const Args&... args) {
    const std::string list[] = {std::string(), FormatArg(args)...};
    return FormatList(pattern, list + 1, static_cast<int>(sizeof...(Args)));
}

}  // namespace tx
