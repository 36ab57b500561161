#include "settings/SystemLanguage.h"

namespace tx {

Language SystemUiLanguage() {
    return Language::English;
}

}  // namespace tx
