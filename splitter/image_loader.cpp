// Maps the linked executable read-only and finds its load module.
#include "splitter.h"
#include "text_lines.h"

namespace tessan {

namespace {

// The fixed part of the MZ header; of it only the signature and the header size at offset 8
// are used.
constexpr std::size_t FixedHeaderBytes = 28;

// "MZ", or "ZM" as some linkers write it: anything else is no executable of a PLC program.
bool hasExeSignature(const unsigned char* header) {
    return (header[0] == 'M' && header[1] == 'Z') || (header[0] == 'Z' && header[1] == 'M');
}

} // namespace

bool loadImage(const char* exePath, ImageView& image) {
    image = ImageView{};
    platform::File file;
    if (!platform::openForReading(exePath, file)) {
        printMessage("\nError: 11, File open error: %s\n", exePath);
        return false;
    }
    unsigned char header[FixedHeaderBytes];
    std::size_t count = 0;
    const bool read = readUpTo(file, header, sizeof header, count);
    platform::closeFile(file);
    if (!read) {
        printMessage("\nError: 12, File read error: %s\n", exePath);
        return false;
    }
    if (count < FixedHeaderBytes || !hasExeSignature(header)) {
        printMessage("\nError: 20, Invalid EXE header: %s\n", exePath);
        return false;
    }
    const std::uint64_t headerParagraphs =
        static_cast<std::uint64_t>(header[8]) | static_cast<std::uint64_t>(header[9]) << 8;

    // This opening stays open for the rest of the run: the image view owns it.
    if (!platform::openForReading(exePath, image.file)) {
        printMessage("\nError: 11, File open error: %s\n", exePath);
        return false;
    }
    std::uint64_t size = 0;
    if (!platform::fileSize(image.file, size)) {
        printMessage("\nError: 13, File mapping error: %s\n", exePath);
        return false;
    }
    // The size is taken again from the opening that is mapped, since the file may have
    // changed since the header was read.
    if (size < FixedHeaderBytes || headerParagraphs * 16 > size) {
        printMessage("\nError: 20, Invalid EXE header: %s\n", exePath);
        return false;
    }
    if (!platform::mapReadOnly(image.file, size, image.view)) {
        printMessage("\nError: 14, File mapping error: %s\n", exePath);
        return false;
    }
    image.moduleBase = headerParagraphs * 16;
    return true;
}

} // namespace tessan
