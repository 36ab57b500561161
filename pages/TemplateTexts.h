// The captions of the dialog templates (res/templates/*.dlg), listed for the
// translators: lupdate does not read the templates, so every caption is named
// here under the context the pages translate it with ("DialogTemplate").
#pragma once

#include <cstddef>

extern const char* const kTemplateTexts[];
extern const std::size_t kTemplateTextCount;
