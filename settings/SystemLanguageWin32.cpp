#include <windows.h>

#include "settings/SystemLanguage.h"

namespace tx {

Language SystemUiLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese
                                                                     : Language::English;
}

}  // namespace tx
