// The PLC image joiner: copies the seventeen PLC images and the PLC_ENDP file, in a fixed
// order and byte for byte, into one destination file.
#pragma once

#include "platform.h"

#include <cstddef>
#include <string>

namespace orlund {

// Exit statuses of a run; -1 is process status 255.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = -1;

// Size of the one copy buffer that every source passes through.
inline constexpr std::size_t kCopyBufferSize = 512;

// The images as the joiner names them, in the order the joined file holds them.
inline constexpr int kImageCount = 17;
extern const char* const kImageNames[kImageCount];

// The destination of one run, written to a temporary beside it from its creation to the end
// of the run and renamed onto its name only when the join is complete, and the copy buffer
// that all appends share.
struct JoinDestination {
    platform::OutputFile output;
    unsigned char buffer[kCopyBufferSize];
};

// Printed when a write to the destination, or its close, fails.
inline constexpr char kWriteError[] = "\nError: Destination file cannot be written\n";
// Printed when the destination is the same file as one of the sources.
inline constexpr char kSameFileError[] = "\nError: Destination is one of the source files\n";

// Prints one message to standard output and flushes it.
void printMessage(const char* text);

// Finds the file that a composed source name stands for: the name itself when such a file
// exists, otherwise the entry of its directory part whose name equals its last component
// ignoring letter case. False when there is neither.
bool locateSource(const std::string& composed, std::string& found);

// Appends every byte of the source to the destination. Prints the error and returns false
// when the source cannot be opened or read, or the destination cannot be written.
bool AppendFile(const std::string& sourcePath, JoinDestination& destination);

// The whole run: banner, arguments, destination, eighteen appends, close. Returns the exit
// status.
int runOrlund(int argc, char** argv);

} // namespace orlund
