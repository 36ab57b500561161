// The file-system steps of the settings file's safe writes, one source file
// per system (ProfileFileAccessPosix.cpp, ProfileFileAccessWin32.cpp). Paths
// are UTF-8 with '/' between folders; results are 0 or an errno value.
#pragma once

#include <string>

// WriteCheck's answer for a file the user made read-only.
constexpr int kReadOnlyFile = -1;

// Whether something is at the path.
bool FileExists(const std::string& path);
// Whether the file exists and may be read.
bool FileReadable(const std::string& path);
// The file a write goes to: a symbolic link's target (links followed up to
// 16 deep, relative ones from the link's folder), else the path itself.
std::string WriteTarget(const std::string& path);
// Whether the file may be written: 0, kReadOnlyFile or an error number.
int WriteCheck(const std::string& target);
// Replaces the file with `bytes` through a new file of a unique name beside
// it, keeping the old file's permissions: 0 or the error number. The old file
// stays until the new one is whole.
int ReplaceWholeFile(const std::string& target, const std::string& bytes);
// Rewrites the file where it is, for a folder that cannot be written: the
// room for the new contents is taken first, so that a full disk leaves the
// old contents; then they are overwritten and the file cut to length.
int RewriteInPlace(const std::string& target, const std::string& bytes);
// Makes the folders above `path` (private to the user where the system has
// modes, as a user's configuration folder should be).
void MakeFolders(const std::string& path);
// Whether the error number means the disk (or the user's quota) is full.
bool IsDiskFullError(int error);
// Whether it means the user's disk quota is used up (Linux's EDQUOT; Windows
// reports a full quota as a full disk). The recordings name it apart.
bool IsQuotaExceededError(int error);
