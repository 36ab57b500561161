// The English catalogue, generated at build time from res/i18n/*.ts
// (TranslationCatalogue.cmake): finished translations only.
#pragma once

#include <cstddef>

namespace tx {

struct CatalogueEntry {
    const char* context;
    const char* source;
    const char* translation;
};

extern const CatalogueEntry kEnglishCatalogue[];
extern const size_t kEnglishCatalogueSize;

}  // namespace tx
