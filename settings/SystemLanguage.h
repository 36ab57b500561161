// The language the system shows its own texts in, for programs started
// without a language in their environment. One source file per system
// (SystemLanguagePosix.cpp, SystemLanguageWin32.cpp).
#pragma once

#include "settings/Translation.h"

namespace tx {

// Windows: Chinese when the user's display language is Chinese. Elsewhere
// the locale variables are the system's answer: English here.
Language SystemUiLanguage();

}  // namespace tx
