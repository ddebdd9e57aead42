// Buffered text pieces over platform::readBytes, for the linker map and the make-file.
#include "text_lines.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tessan {

void startTextReader(TextReader& reader, platform::File& file) {
    reader.file = &file;
    reader.position = 0;
    reader.filled = 0;
    reader.atEnd = false;
    reader.failed = false;
}

namespace {

// Makes at least one byte available; false at the end of the file or after a read error.
bool haveByte(TextReader& reader) {
    if (reader.position < reader.filled)
        return true;
    if (reader.atEnd || reader.failed)
        return false;
    std::size_t count = 0;
    if (!platform::readBytes(*reader.file, reader.buffer, sizeof reader.buffer, count)) {
        reader.failed = true;
        return false;
    }
    reader.position = 0;
    reader.filled = count;
    if (count == 0) {
        reader.atEnd = true;
        return false;
    }
    return true;
}

} // namespace

PieceResult readPiece(TextReader& reader, char* piece, std::size_t maxChars, std::size_t& length) {
    length = 0;
    while (length < maxChars && haveByte(reader)) {
        // The bytes before the next line feed or carriage return are taken in one copy: a
        // line is looked at by two searches, not character by character.
        const unsigned char* from = reader.buffer + reader.position;
        std::size_t span = std::min(reader.filled - reader.position, maxChars - length);
        const void* lineFeed = std::memchr(from, '\n', span);
        if (lineFeed != nullptr)
            span = static_cast<std::size_t>(static_cast<const unsigned char*>(lineFeed) - from);
        const void* carriageReturn = std::memchr(from, '\r', span);
        if (carriageReturn != nullptr)
            span =
                static_cast<std::size_t>(static_cast<const unsigned char*>(carriageReturn) - from);
        std::memcpy(piece + length, from, span);
        length += span;
        reader.position += span;
        if (carriageReturn == nullptr && lineFeed == nullptr)
            continue;
        // The line feed or carriage return that ended the copy; room is left for it.
        char c = static_cast<char>(reader.buffer[reader.position++]);
        if (c == '\r' && haveByte(reader) && reader.buffer[reader.position] == '\n') {
            c = '\n';
            ++reader.position;
        }
        piece[length++] = c;
        if (c == '\n')
            break;
    }
    piece[length] = '\0';
    if (reader.failed)
        return PieceResult::ReadError;
    return length > 0 ? PieceResult::Piece : PieceResult::End;
}

bool containsText(const char* line, std::size_t length, const char* text) {
    // The library's search looks for the text's first character a block at a time and compares
    // only where it stands.
    return std::string_view(line, length).find(text) != std::string_view::npos;
}

bool readUpTo(platform::File& file, void* buffer, std::size_t size, std::size_t& count) {
    count = 0;
    while (count < size) {
        std::size_t got = 0;
        if (!platform::readBytes(file, static_cast<unsigned char*>(buffer) + count, size - count,
                                 got))
            return false;
        if (got == 0)
            break;
        count += got;
    }
    return true;
}

} // namespace tessan
