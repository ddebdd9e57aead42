#include "output_guard.h"

#include "diagnostics.h"
#include "platform.h"

#include <cstring>

namespace symmap {

namespace {

// Every symbol map begins with its header line "$MP2 02"; older ones with another version.
constexpr char SymbolMapStart[] = "$MP2 ";
constexpr std::size_t SymbolMapStartLength = sizeof SymbolMapStart - 1;

bool isInput(const platform::FileIdentity& target, const char* inputPath) {
    platform::FileIdentity input;
    return inputPath != nullptr && platform::identifyFile(inputPath, input) &&
           platform::sameFile(target, input);
}

// Reads the first bytes of the file, as many as a symbol map's start has or the file holds.
bool readStart(const char* path, char* start, std::size_t& count) {
    count = 0;
    platform::File file;
    if (!platform::openForReading(path, file)) {
        reportMessage(MsgFileOpen, nullptr, -1, -1, path);
        return false;
    }
    while (count < SymbolMapStartLength) {
        std::size_t got = 0;
        if (!platform::readBytes(file, start + count, SymbolMapStartLength - count, got)) {
            reportMessage(MsgFileRead, nullptr, -1, -1, path);
            platform::closeFile(file);
            return false;
        }
        if (got == 0)
            break;
        count += got;
    }
    platform::closeFile(file);
    return true;
}

} // namespace

bool checkSymbolMapTarget(const char* mp2Path, const char* listingPath, const char* mapPath) {
    platform::FileIdentity target;
    if (!platform::identifyFile(mp2Path, target))
        return true; // nothing there yet
    if (isInput(target, listingPath) || isInput(target, mapPath)) {
        reportMessage(MsgOutputIsAnInput, nullptr, -1, -1, mp2Path);
        return false;
    }
    // Only a regular file's bytes are looked at: a pipe or a device is never read from here.
    std::uint64_t size = 0;
    if (!platform::regularFileSize(mp2Path, size) || size == 0)
        return true;
    char start[SymbolMapStartLength];
    std::size_t count = 0;
    if (!readStart(mp2Path, start, count))
        return false;
    if (count == SymbolMapStartLength && std::memcmp(start, SymbolMapStart, count) == 0)
        return true;
    reportMessage(MsgOutputNotASymbolMap, nullptr, -1, -1, mp2Path);
    return false;
}

} // namespace symmap
