// Windows: a program started without locale variables (the usual case there)
// speaks the user's display language. Run under wine twice, its display
// language set through LC_ALL, which wine maps to the Windows one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "settings/Translation.h"

TEST(SystemLanguageTest, WithoutLocaleVariablesTheDisplayLanguageCounts) {
    const char* given = std::getenv("TAVIX_EXPECTED_LANGUAGE");
    ASSERT_NE(given, nullptr);
    const std::string expected = given;  // changing the environment may move it
    // The variables wine handed over go; the display language stays.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        _putenv_s(name, "");
    ASSERT_EQ(std::getenv("LC_ALL"), nullptr);
    EXPECT_EQ(tx::LanguageFromEnvironment(),
              expected == "zh" ? tx::Language::Chinese : tx::Language::English);
}
