#include "settings/ProfileFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include "settings/ProfileFileAccess.h"
#include "settings/ProfileWriteLock.h"
#include "settings/TextToNumber.h"
#include "settings/Translation.h"

namespace {

const size_t kTextLimit = 1023;

// One line of the file: its bytes without the line end, and the line end.
struct Line {
    std::string text;
    std::string end;  // "\r\n", "\n" or "" (last line without one)
};

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return true;
}

std::vector<Line> SplitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t nl = bytes.find('\n', at);
        if (nl == std::string::npos) {
            lines.push_back({bytes.substr(at), ""});
            break;
        }
        size_t stop = nl;
        std::string end = "\n";
        if (stop > at && bytes[stop - 1] == '\r') {
            --stop;
            end = "\r\n";
        }
        lines.push_back({bytes.substr(at, stop - at), end});
        at = nl + 1;
    }
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The line's text with a leading byte-order mark removed (first line only).
std::string Content(const std::vector<Line>& lines, size_t i) {
    const std::string& t = lines[i].text;
    if (i == 0 && t.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return t.substr(3);
    return t;
}

// The section name if the line opens a section.
std::optional<std::string> SectionOf(const std::string& content) {
    const std::string t = Trim(content);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const size_t close = t.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

bool IsComment(const std::string& content) {
    const std::string t = Trim(content);
    return !t.empty() && t[0] == ';';
}

// Where the key of a key=value line ends ('=' position), if the line is one.
std::optional<size_t> EqualsOf(const std::string& content) {
    if (IsComment(content) || SectionOf(content))
        return std::nullopt;
    const size_t eq = content.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return eq;
}

struct Found {
    std::optional<size_t> sectionLine;  // the section's header line
    size_t sectionEnd = 0;              // one past the section's last line
    std::optional<size_t> keyLine;
};

Found Find(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
    Found f;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string content = Content(lines, i);
        if (auto name = SectionOf(content)) {
            if (f.sectionLine)
                break;  // the first matching section has ended
            if (SameName(*name, section))
                f.sectionLine = i;
            continue;
        }
        if (!f.sectionLine)
            continue;
        f.sectionEnd = i + 1;
        if (f.keyLine)
            continue;
        if (auto eq = EqualsOf(content))
            if (SameName(Trim(content.substr(0, *eq)), key))
                f.keyLine = i;
    }
    if (f.sectionLine && f.sectionEnd == 0)
        f.sectionEnd = *f.sectionLine + 1;
    return f;
}

// Files whose defaults come from another file until they exist.
std::mutex g_defaultsLock;
std::map<std::string, std::string> g_defaults;

// The defaults file of a registered path ("" for none); nullopt when the
// path is not registered.
std::optional<std::string> DefaultsOf(const std::string& path) {
    std::lock_guard<std::mutex> guard(g_defaultsLock);
    const auto it = g_defaults.find(path);
    if (it == g_defaults.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> Lookup(const std::string& section, const std::string& key,
                                  const std::string& path) {
    std::string bytes;
    if (!ReadFile(path, bytes)) {
        // Not there yet: its defaults answer.
        const std::string defaults = DefaultsOf(path).value_or(std::string());
        if (defaults.empty() || FileExists(path) || !ReadFile(defaults, bytes))
            return std::nullopt;
    }
    const std::vector<Line> lines = SplitLines(bytes);
    const Found f = Find(lines, section, key);
    if (!f.keyLine)
        return std::nullopt;
    const std::string content = Content(lines, *f.keyLine);
    std::string value = Trim(content.substr(*EqualsOf(content) + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// Sets [section] key to value in the lines.
void Apply(std::vector<Line>& lines, const std::string& section, const std::string& key,
           const std::string& value) {
    const std::string eol = (!lines.empty() && lines[0].end == "\r\n") ? "\r\n" : "\n";
    const Found f = Find(lines, section, key);
    if (f.keyLine) {
        // Keep the key as spelt and the blanks before '='; replace the value.
        Line& line = lines[*f.keyLine];
        const size_t bom =
            (*f.keyLine == 0 && line.text.size() != Content(lines, 0).size()) ? 3 : 0;
        const size_t eq = *EqualsOf(Content(lines, *f.keyLine)) + bom;
        line.text = line.text.substr(0, eq + 1) + value;
    } else {
        std::vector<Line> added;
        if (!f.sectionLine)
            added.push_back({"[" + section + "]", eol});
        added.push_back({key + "=" + value, eol});
        // New keys go after the section's last key line, so that blank lines
        // and comments before the next section stay where they are.
        size_t at = lines.size();
        if (f.sectionLine) {
            at = *f.sectionLine + 1;
            for (size_t i = *f.sectionLine + 1; i < f.sectionEnd; ++i)
                if (EqualsOf(Content(lines, i)))
                    at = i + 1;
        }
        if (at > 0 && lines[at - 1].end.empty())
            lines[at - 1].end = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    }
}

struct Change {
    std::string section, key, value;
};

// This process's writers one at a time; guards the pending changes and the
// failure handler.
std::mutex g_writeLock;
// Changes whose write failed, by the file they go to, oldest first.
std::map<std::string, std::vector<Change>> g_pending;
ProfileWriteFailureHandler g_failureHandler;

// Writes the changes into the file: 0, kReadOnlyFile or an error number.
int WriteChanges(const std::string& target, const std::vector<Change>& changes) {
    if (const int error = WriteCheck(target))
        return error;

    ProfileWriteLock lock(target);
    std::string bytes;
    if (!ReadFile(target, bytes) && FileExists(target))
        return EACCES;  // present but unreadable: writing would lose its keys
    if (!FileExists(target)) {
        // Created from its defaults, if it has any.
        const std::string defaults = DefaultsOf(target).value_or(std::string());
        if (!defaults.empty())
            ReadFile(defaults, bytes);
    }
    std::vector<Line> lines = SplitLines(bytes);
    for (const Change& c : changes)
        Apply(lines, c.section, c.key, c.value);
    std::string out;
    for (const Line& l : lines)
        out += l.text + l.end;
    const bool present = FileExists(target);
    int error = ReplaceWholeFile(target, out);
    if (present && (error == EACCES || error == EPERM))
        error = RewriteInPlace(target, out);  // the folder is not writable
    return error;
}

}  // namespace

int ReadProfileInt(const std::string& section, const std::string& key, int def,
                   const std::string& path) {
    const std::optional<std::string> value = Lookup(section, key, path);
    return value ? TextToNumber(*value) : def;
}

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& def, const std::string& path) {
    std::string value = Lookup(section, key, path).value_or(def);
    if (value.size() > kTextLimit)
        value.resize(kTextLimit);
    return value;
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& rawValue, const std::string& path) {
    // A line break inside the value would split the line and garble the file.
    std::string value = rawValue;
    for (char& c : value)
        if (c == '\r' || c == '\n')
            c = ' ';
    int error;
    ProfileWriteFailureHandler handler;
    {
        std::lock_guard<std::mutex> guard(g_writeLock);
        const std::string target = WriteTarget(path);
        // A file with defaults lives in a folder of its own, made at the
        // first write.
        if (DefaultsOf(path))
            MakeFolders(path);
        // This change goes with every earlier one that could not be written.
        std::vector<Change>& pending = g_pending[target];
        pending.erase(std::remove_if(pending.begin(), pending.end(),
                                     [&](const Change& c) {
                                         return SameName(c.section, section) &&
                                                SameName(c.key, key);
                                     }),
                      pending.end());
        pending.push_back({section, key, value});
        error = WriteChanges(target, pending);
        if (error == 0) {
            g_pending.erase(target);
            return true;
        }
        handler = g_failureHandler;
    }
    // Told outside the lock: the handler may show a box and run events.
    if (handler)
        handler(path, error == kReadOnlyFile ? 0 : error);
    return false;
}

std::string ProfileWriteFailureText(const std::string& path, int error) {
    std::string reason;
    switch (error) {
        case 0:
            reason = tx::Tr("ProfileFile", "文件是只读的");
            break;
        case EACCES:
        case EPERM:
            reason = tx::Tr("ProfileFile", "没有写入权限");
            break;
        case EISDIR:
            reason = tx::Tr("ProfileFile", "该位置是一个文件夹");
            break;
        case ENOTDIR:
            reason = tx::Tr("ProfileFile", "路径中有一项不是文件夹");
            break;
        case ENOENT:
            reason = tx::Tr("ProfileFile", "文件夹不存在");
            break;
        case EROFS:
            reason = tx::Tr("ProfileFile", "文件系统是只读的");
            break;
        default:
            reason = IsDiskFullError(error) ? tx::Tr("ProfileFile", "磁盘空间已满")
                                            : std::string(std::strerror(error));
    }
    return tx::Format(
        tx::Tr("ProfileFile",
               "无法保存设置文件 %1：%2。本次运行中的设置仍然有效，下次保存成功时会一并写入。"),
        path, reason);
}

void SetProfileDefaults(const std::string& path, const std::string& defaultsPath) {
    std::lock_guard<std::mutex> guard(g_defaultsLock);
    g_defaults[path] = defaultsPath;
}

bool CanWriteProfile(const std::string& path, int& error) {
    if (DefaultsOf(path))
        MakeFolders(path);  // its folder is made at its first write anyway
    const int check = WriteCheck(WriteTarget(path));
    error = check == kReadOnlyFile ? 0 : check;
    return check == 0;
}

void SetProfileWriteFailureHandler(ProfileWriteFailureHandler handler) {
    std::lock_guard<std::mutex> guard(g_writeLock);
    g_failureHandler = std::move(handler);
}
