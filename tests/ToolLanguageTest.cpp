// The command-line tools speak the locale's language: English unless LC_ALL,
// LC_MESSAGES or LANG names a Chinese locale. The real programs are run with
// a chosen environment and their output read back.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out, err;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `program` with `args`, this environment less its locale variables
// plus `locale` (e.g. {"LANG=C"}); its exit code and output.
Result RunTool(const std::string& program, std::vector<std::string> args,
               const std::vector<std::string>& locale) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LC_", 0) != 0 && entry.rfind("LANG=", 0) != 0 &&
            entry.rfind("LANGUAGE=", 0) != 0)
            env.push_back(entry);
    }
    env.insert(env.end(), locale.begin(), locale.end());
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    char dir[] = "/tmp/tavix-language-XXXXXX";
    Result r;
    if (mkdtemp(dir) == nullptr)
        return r;
    const std::string out = std::string(dir) + "/out", err = std::string(dir) + "/err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int status = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0 &&
        waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        r.code = WEXITSTATUS(status);
    posix_spawn_file_actions_destroy(&actions);
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    fs::remove_all(dir);
    return r;
}

const std::vector<std::string> kEnglish = {"LANG=C"};
const std::vector<std::string> kChinese = {"LANG=zh_CN.UTF-8"};

// Whether UTF-8 `text` holds a CJK character or punctuation mark
// (U+3000-U+9FFF, U+FF00-U+FFEF): the sign of an untranslated text.
bool HasChinese(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xF0) != 0xE0 || i + 2 >= text.size())
            continue;
        const unsigned code = ((c & 0x0Fu) << 12) |
                              ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                              (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        if ((code >= 0x3000 && code <= 0x9FFF) || (code >= 0xFF00 && code <= 0xFFEF))
            return true;
        i += 2;
    }
    return false;
}

// The options a help text names (--colour read as --color).
std::set<std::string> OptionsOf(const std::string& help) {
    std::set<std::string> options;
    const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
         it != std::sregex_iterator(); ++it)
        options.insert(it->str() == "--colour" ? "--color" : it->str());
    return options;
}

struct Tool {
    const char* path;
    const char* name;
};

std::vector<Tool> Tools() {
    std::vector<Tool> tools = {{TAVIX_CAPTURE, "tavix-capture"},
                               {TAVIX_DIAGNOSE, "tavix-diagnose"}};
#ifdef TAVIX_PROGRAM
    tools.push_back({TAVIX_PROGRAM, "TavixTool"});
#endif
    return tools;
}

TEST(ToolLanguage, HelpIsEnglishOutsideAChineseLocaleAndChineseInIt) {
    for (const Tool& tool : Tools()) {
        const Result english = RunTool(tool.path, {"--help"}, kEnglish);
        EXPECT_EQ(english.code, 0) << tool.name;
        EXPECT_EQ(english.out.rfind(std::string("Usage: ") + tool.name, 0), 0u) << english.out;
        EXPECT_FALSE(HasChinese(english.out)) << english.out;
        const Result chinese = RunTool(tool.path, {"--help"}, kChinese);
        EXPECT_EQ(chinese.code, 0) << tool.name;
        EXPECT_EQ(chinese.out.rfind(std::string("用法：") + tool.name, 0), 0u) << chinese.out;
        // Both name every option.
        EXPECT_EQ(OptionsOf(english.out), OptionsOf(chinese.out)) << tool.name;
        // No locale at all is English; LC_ALL wins over LANG.
        EXPECT_EQ(RunTool(tool.path, {"--help"}, {}).out, english.out) << tool.name;
        EXPECT_EQ(RunTool(tool.path, {"--help"}, {"LC_ALL=C.UTF-8", "LANG=zh_CN.UTF-8"}).out,
                  english.out)
            << tool.name;
        EXPECT_EQ(RunTool(tool.path, {"--help"}, {"LC_MESSAGES=zh_CN.UTF-8", "LANG=C"}).out,
                  chinese.out)
            << tool.name;
    }
}

TEST(ToolLanguage, MessagesSpeakTheLocalesLanguage) {
    // A wrong option, refused before any port is touched.
    const std::vector<std::string> badFrames = {"/dev/null", "--frames", "x"};
    Result r = RunTool(TAVIX_CAPTURE, badFrames, kEnglish);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "tavix-capture: --frames needs a whole number from 0 to 4294967295, not \"x\"\n");
    r = RunTool(TAVIX_CAPTURE, badFrames, kChinese);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tavix-capture: --frames 需要 0～4294967295 的整数，而不是“x”\n");

    // A settings file that is not there, found out by the capture session.
    const std::vector<std::string> noSettings = {"/dev/null", "--settings=/nonexistent/DevSet.ini"};
    r = RunTool(TAVIX_CAPTURE, noSettings, kEnglish);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tavix-capture: Settings file /nonexistent/DevSet.ini does not exist\n");
    r = RunTool(TAVIX_CAPTURE, noSettings, kChinese);
    EXPECT_EQ(r.err, "tavix-capture: 设置文件 /nonexistent/DevSet.ini 不存在\n");

    // tavix-diagnose on a raw data file and on an empty one.
    char dir[] = "/tmp/tavix-language-data-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string raw = std::string(dir) + "/dump.bin", empty = std::string(dir) + "/empty.bin";
    std::ofstream(raw, std::ios::binary) << std::string(100, '\xFF');
    std::ofstream(empty, std::ios::binary).flush();
    r = RunTool(TAVIX_DIAGNOSE, {raw}, kEnglish);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              "Raw data file " + raw + ": 100 bytes (no timing, so the rate is unknown)\n");
    r = RunTool(TAVIX_DIAGNOSE, {raw}, kChinese);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              "原始数据文件 " + raw + "：100 字节（没有时间信息，速率无从得知）\n");
    r = RunTool(TAVIX_DIAGNOSE, {empty}, kEnglish);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "tavix-diagnose: " + empty + " is empty: no data to diagnose\n");
    r = RunTool(TAVIX_DIAGNOSE, {"--rows", "60"}, kEnglish);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "tavix-diagnose: No device or recording given (see --help)\n");
    fs::remove_all(dir);

#ifdef TAVIX_PROGRAM
    r = RunTool(TAVIX_PROGRAM, {"--version"}, kEnglish);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("\nSettings file: /"), std::string::npos) << r.out;
    EXPECT_FALSE(HasChinese(r.out)) << r.out;
    r = RunTool(TAVIX_PROGRAM, {"--version"}, kChinese);
    EXPECT_NE(r.out.find("\n设置文件：/"), std::string::npos) << r.out;
#endif
}

}  // namespace
