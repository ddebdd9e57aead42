// An in-memory file system behind platform.h, linked instead of the system's file services
// into the fuzz targets (and their replay in the test suite): a fuzzed input reaches a reader
// through the same calls as a file on disk, and whatever a run writes stays in memory.
//
// Paths are plain keys: "a/b" lies in the folder "a", a path without "/" in the current
// folder "", which always exists. No "." or ".." is resolved, so two different texts always
// name two different files. A mapped view is a heap copy of exactly the file's bytes, so the
// address sanitizer sees any read past its end.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>

namespace memfs {

// A file grows to this many bytes at most; a write beyond fails as on a full disk.
inline constexpr std::size_t FileLimit = std::size_t{16} << 20;

// Every folder and file with its bytes.
struct Snapshot {
    std::set<std::string> folders;
    std::map<std::string, std::string> files;
};

// No files, no folders but the current one, nothing open.
void reset();
// Adds a folder ("images" or "images/"); the folders above it are not needed.
void addFolder(std::string_view path);
void putFile(const std::string& path, std::string_view bytes);
// The file's bytes; false when there is no such file.
bool getFile(const std::string& path, std::string& bytes);

// The files and folders as they are now.
Snapshot save();
// Back to a saved state: same files, same bytes, nothing open.
void restore(const Snapshot& snapshot);
// Files opened and not yet closed, views mapped and not yet released.
int openHandles();
int mappedViews();

} // namespace memfs
