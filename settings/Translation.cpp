#include "settings/Translation.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "settings/SystemLanguage.h"
#include "settings/TranslationCatalogue.h"

namespace tx {
namespace {

std::atomic<Language> g_language{Language::Chinese};

struct Key {
    std::string_view context;
    std::string_view text;
    bool operator==(const Key& o) const { return context == o.context && text == o.text; }
};
struct KeyHash {
    size_t operator()(const Key& k) const {
        return std::hash<std::string_view>()(k.context) * 31 ^
               std::hash<std::string_view>()(k.text);
    }
};

const std::unordered_map<Key, const char*, KeyHash>& Catalogue() {
    static const auto* map = [] {
        auto* m = new std::unordered_map<Key, const char*, KeyHash>();
        for (size_t i = 0; i < kEnglishCatalogueSize; ++i) {
            const CatalogueEntry& e = kEnglishCatalogue[i];
            m->emplace(Key{e.context, e.source}, e.translation);
        }
        return m;
    }();
    return *map;
}

}  // namespace

void SetLanguage(Language language) {
    g_language.store(language, std::memory_order_relaxed);
}

Language CurrentLanguage() {
    return g_language.load(std::memory_order_relaxed);
}

const char* English(const char* context, const char* text) {
    const auto& map = Catalogue();
    const auto it = map.find(Key{context, text});
    return it == map.end() ? nullptr : it->second;
}

const char* Tr(const char* context, const char* text) {
    if (CurrentLanguage() != Language::English)
        return text;
    const char* english = English(context, text);
    return english ? english : text;
}

Language LanguageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return std::strncmp(value, "zh", 2) == 0 ? Language::Chinese : Language::English;
    }
    // None set, as on Windows: the system's display language.
    return SystemUiLanguage();
}

const char* LanguageCode(Language language) {
    return language == Language::English ? "en" : "zh_CN";
}

Language LanguageFromCode(const std::string& code) {
    return code == "en" ? Language::English : Language::Chinese;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string FormatList(const std::string& pattern, const std::string* args, int count) {
    std::string out;
    out.reserve(pattern.size() + 16);
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const int n = pattern[i + 1] - '1';
            if (n < count) {
                out += args[n];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace tx
