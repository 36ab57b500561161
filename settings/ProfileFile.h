// A settings file of sections and key=value lines, read and written one key at
// a time, as the program's DevSet.ini is.
//
// Reading: section and key names match without regard to ASCII case; blanks
// around names, around '=' and around section names are ignored; CRLF or LF
// line ends; a UTF-8 byte-order mark at the start is skipped; lines starting
// with ';' (after blanks) are comments. The first matching section and, in
// it, the first matching key count. A value in matching double or single
// quotes loses the quotes.
//
// Integers: leading blanks, an optional sign and the decimal digits after it;
// whatever follows is ignored. A key that is present but holds no number
// (text such as "abc", or an empty value) reads as 0, not as the default; a
// missing key, section or file reads as the default. Numbers out of the int
// range saturate. Numbers written with "%d" read back unchanged.
//
// Writing: creates the file, the section and the key as needed and replaces
// only that key's value; every other byte of the file stays as it was. New
// lines take the file's line ends (CRLF if its first line end is CRLF).
// - The file is replaced whole through a temporary file of a unique name in
//   its folder, so a failed write never leaves half a file behind; where the
//   folder cannot be written, the file is rewritten in place, its room taken
//   first so that running out of disk leaves the old contents.
// - Writers serialise their read-modify-write through an advisory lock on
//   "<file>.lock" beside it (or on the file itself where that cannot be had),
//   so two programs writing at once never lose each other's keys.
// - A symbolic link is written through: its target changes, the link stays.
// - A file without write permission bits (made read-only by the user) is not
//   written, whoever the program runs as.
// - A value whose write failed is kept in memory and written with the next
//   write to the same file that succeeds.
#pragma once

#include <functional>
#include <string>

// The integer value of [section] key, or `def` when the key is missing.
int ReadProfileInt(const std::string& section, const std::string& key, int def,
                   const std::string& path);

// The text of [section] key, or `def` when the key is missing; at most 1023
// bytes are kept, as a 1024-byte buffer would.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& def, const std::string& path);

// Sets [section] key to `value`. False when the file cannot be written; the
// failure handler, if set, is told why.
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

// Until `path` exists, its keys are read from `defaultsPath` (none when
// empty), and the first write creates it, and its missing folders, from that
// file's contents.
void SetProfileDefaults(const std::string& path, const std::string& defaultsPath);

// Whether `path` could be written now (no write is made). When not, `error`
// says why as for the failure handler (0: the file is read-only).
bool CanWriteProfile(const std::string& path, int& error);

// Why writing `path` failed, for the user: "无法保存设置文件 <path>：<reason>".
// `error` is the system's error number, or 0 for a file made read-only.
std::string ProfileWriteFailureText(const std::string& path, int error);

// Called on the writing thread after every failed write, with the file and
// the system's error number (0: the file is read-only). Empty: nobody is told.
using ProfileWriteFailureHandler = std::function<void(const std::string& path, int error)>;
void SetProfileWriteFailureHandler(ProfileWriteFailureHandler handler);
