// Appending one source to the destination through the shared 512-byte buffer.
#include "joiner.h"

namespace orlund {

namespace {

const char kOpenError[] = "\nError: Source file cannot be opened\n";
const char kReadError[] = "\nError: Source file cannot be read\n";

// Copies until the source reports its end. A short read is not taken as the end: a pipe or
// a terminal may hand over fewer bytes than asked for well before its end.
bool copyAll(platform::File& source, JoinDestination& destination) {
    for (;;) {
        std::size_t got = 0;
        if (!platform::readBytes(source, destination.buffer, kCopyBufferSize, got)) {
            printMessage(kReadError);
            return false;
        }
        if (got == 0)
            return true;
        if (!platform::writeAll(destination.output.file, destination.buffer, got)) {
            printMessage(kWriteError);
            return false;
        }
    }
}

} // namespace

bool AppendFile(const std::string& sourcePath, JoinDestination& destination) {
    std::string found;
    platform::File source;
    if (!locateSource(sourcePath, found) || !platform::openForReading(found.c_str(), source)) {
        printMessage(kOpenError);
        return false;
    }
    const bool copied = copyAll(source, destination);
    // The source was only read: a failed close loses nothing of the joined file.
    platform::closeFile(source);
    return copied;
}

} // namespace orlund
