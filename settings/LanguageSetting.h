// Key "language" of section "Window" in the settings file: the language the
// window shows its texts in, "zh_CN" (the default) or "en".
#pragma once

#include <string>

#include "settings/Translation.h"

tx::Language ReadWindowLanguage(const std::string& path);
// Returns false when the file could not be written.
bool WriteWindowLanguage(tx::Language language, const std::string& path);
