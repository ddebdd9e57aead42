// The steps of writing an output whole (platform.h, OutputFile), each system's own and the
// in-memory file system's; output_files.cpp puts them in their order.
#pragma once

#include <string>

namespace platform {
struct File;
}

namespace platform::steps {

// A name for a temporary of the output `name` in `folder` (which ends with its separator, or
// is empty): "." + the name (cut to leave room in a folder entry) + a part unique to the
// process `process` and to this call + `kind` + ".tmp".
std::string temporaryName(const std::string& folder, std::string name, unsigned long process,
                          const char* kind);

// Renames `from` onto `to`. The file that was at `to` is kept under a temporary name beside
// it, `previous`, when `keepPrevious` (and on systems where keeping it costs nothing, then
// too): a second name of it, or where the file system makes none, a copy, so that `to` holds
// the earlier file or the new one at every instant. `previous` is empty when nothing was there
// or it was not kept. On failure `to` holds what it held before and nothing is kept.
bool replaceFile(const std::string& from, const std::string& to, bool keepPrevious,
                 std::string& previous);

// Renames a kept file back onto its name, replacing what is there.
bool putBackFile(const std::string& previous, const std::string& to);

// Copies the bytes of the file at `path` into `copy`, a new file open for writing, and closes
// it; false when a read, a write or the close fails.
bool copyInto(const std::string& path, File& copy);

// Removes a file the run created; a failure leaves it (nothing to report it to).
void removeFile(const std::string& path);

// The temporary no longer needs removing on an interruption.
void forgetTemporary(const std::string& path);

// From this call to the end of the process an interruption no longer ends it: the commit of a
// set runs to its end, and the run ends as the commit leaves it.
void holdInterruptions();

// Interrupts the process as SIGTERM (Windows: Ctrl+C) would; for the fault sweep.
void interruptProcess();

} // namespace platform::steps
