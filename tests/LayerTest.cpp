// The layers: each folder may include and link only itself and the folders
// below it, and the three engine layers stay free of Qt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Bottom to top.
const std::vector<std::string> kLayers = {"settings", "serial", "stream", "capture",
                                          "ui",       "pages",  "help",   "shell"};
// Layers that must build without Qt.
const size_t kPlainLayers = 4;

int LayerOf(const std::string& folder) {
    for (size_t i = 0; i < kLayers.size(); ++i)
        if (kLayers[i] == folder)
            return static_cast<int>(i);
    return -1;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// What breaks the layer table in the tree at `root`, one line per finding.
std::vector<std::string> Violations(const fs::path& root) {
    std::vector<std::string> found;
    const std::regex include(R"re(^\s*#\s*include\s*([<"])([^">]+)[">])re");
    const std::regex links(R"re(target_link_libraries\s*\(\s*(\w+)([^)]*)\))re");
    const std::regex library(R"re(add_library\s*\(\s*(\w+))re");
    for (size_t layer = 0; layer < kLayers.size(); ++layer) {
        const fs::path folder = root / kLayers[layer];
        if (!fs::is_directory(folder)) {
            found.push_back(kLayers[layer] + "/ is missing");
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp")
                continue;
            const std::string name = fs::relative(entry.path(), root).string();
            std::istringstream lines(ReadFile(entry.path()));
            std::string line;
            std::smatch m;
            while (std::getline(lines, line)) {
                if (!std::regex_search(line, m, include))
                    continue;
                const std::string target = m[2];
                if (m[1] == "<") {
                    if (layer < kPlainLayers && target.size() > 1 && target[0] == 'Q')
                        found.push_back(name + ": Qt header <" + target + ">");
                    continue;
                }
                const size_t slash = target.find('/');
                if (slash == std::string::npos)
                    continue;  // a file of the same folder by its bare name
                const std::string to = target.substr(0, slash);
                const int toLayer = LayerOf(to);
                if (toLayer > static_cast<int>(layer) ||
                    (toLayer < 0 && (to == "tools" || to == "tests" || to == "bench")))
                    found.push_back(name + " -> " + target);
            }
        }
        // One library per folder, named after it, linking only layers below.
        const std::string cmake = ReadFile(folder / "CMakeLists.txt");
        const std::string own = "tavix" + kLayers[layer];
        std::vector<std::string> libraries;
        for (std::sregex_iterator it(cmake.begin(), cmake.end(), library), end; it != end; ++it)
            libraries.push_back((*it)[1]);
        if (libraries != std::vector<std::string>{own})
            found.push_back(kLayers[layer] + "/CMakeLists.txt: not one library " + own);
        for (std::sregex_iterator it(cmake.begin(), cmake.end(), links), end; it != end; ++it) {
            if ((*it)[1] != own)
                continue;  // a program built in the folder may link its own layer
            std::istringstream words((*it)[2].str());
            std::string word;
            while (words >> word) {
                if (word.rfind("tavix", 0) != 0)
                    continue;
                const int toLayer = LayerOf(word.substr(5));
                if (toLayer < 0 || toLayer >= static_cast<int>(layer))
                    found.push_back(kLayers[layer] + "/CMakeLists.txt links " + word);
            }
            if (layer < kPlainLayers && (*it)[2].str().find("Qt6::") != std::string::npos)
                found.push_back(kLayers[layer] + "/CMakeLists.txt links Qt");
        }
    }
    return found;
}

TEST(Layers, NoIncludeOrLinkPointsUp) {
    const std::vector<std::string> found = Violations(TAVIX_SOURCE_DIR);
    for (const std::string& f : found)
        ADD_FAILURE() << f;
    EXPECT_TRUE(found.empty());
}

// The check itself finds what it is there for, in a small tree of its own.
TEST(Layers, TheCheckFindsAnArrowUpAQtHeaderBelowUiAndAWrongLink) {
    char dir[] = "/tmp/tavix-layers-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const fs::path root = dir;
    for (size_t i = 0; i < kLayers.size(); ++i) {
        fs::create_directories(root / kLayers[i]);
        std::ofstream(root / kLayers[i] / "CMakeLists.txt")
            << "add_library(tavix" << kLayers[i] << " STATIC A.cpp)\n";
    }
    EXPECT_TRUE(Violations(root).empty());

    std::ofstream(root / "serial" / "A.cpp")
        << "#include \"serial/A.h\"\n#include \"settings/B.h\"\n#include \"capture/C.h\"\n";
    std::ofstream(root / "capture" / "D.h") << "#include <QObject>\n#include <vector>\n";
    std::ofstream(root / "ui" / "CMakeLists.txt")
        << "add_library(tavixui STATIC A.cpp)\n"
           "target_link_libraries(tavixui PUBLIC tavixcapture tavixpages Qt6::Widgets)\n";
    std::ofstream(root / "pages" / "E.cpp") << "#include \"tools/camsim/CameraBoard.h\"\n";
    const std::vector<std::string> found = Violations(root);
    fs::remove_all(root);
    EXPECT_EQ(found, (std::vector<std::string>{"serial/A.cpp -> capture/C.h",
                                               "capture/D.h: Qt header <QObject>",
                                               "ui/CMakeLists.txt links tavixpages",
                                               "pages/E.cpp -> tools/camsim/CameraBoard.h"}));
}

}  // namespace
