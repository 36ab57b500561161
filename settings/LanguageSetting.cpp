#include "settings/LanguageSetting.h"

#include "settings/ProfileFile.h"

tx::Language ReadWindowLanguage(const std::string& path) {
    return tx::LanguageFromCode(ReadProfileString("Window", "language", "zh_CN", path));
}

bool WriteWindowLanguage(tx::Language language, const std::string& path) {
    return WriteProfileString("Window", "language", tx::LanguageCode(language), path);
}
