// What both halves of the inspector share: the exit statuses of a run and a file held as a
// read-only view for the length of the run.
#pragma once

#include "platform.h"

#include <string>

namespace plcinfo {

// Exit statuses: everything read is sound; the files were read but something in them fails
// (an image, a map with findings); two sound maps differ in a class that --fail-on names; an
// argument is wrong or a file cannot be read (-1 is process status 255).
inline constexpr int ExitValid = 0;
inline constexpr int ExitInvalid = 1;
inline constexpr int ExitGuardTripped = 2;
inline constexpr int ExitFailure = -1;

// One file held as a read-only view for the length of the run.
struct LoadedFile {
    platform::File file;
    platform::MappedView view; // after the file: unmapped before the file is closed
};

// Opens and maps the whole file. On false `error` says what failed ("File cannot be opened:
// PATH", "File cannot be read: PATH") and nothing stays open. A file larger than `maxSize`
// is refused with `tooLarge` and the path.
bool loadFile(const std::string& path, LoadedFile& loaded, std::string& error,
              std::uint64_t maxSize = UINT64_MAX, const char* tooLarge = nullptr);

// A folder, or a file that can be opened for reading: a path the run can look into.
bool pathOpens(const std::string& path);

} // namespace plcinfo
