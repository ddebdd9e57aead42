// Reads a text file in pieces as the tool chain's platform reads text: a carriage return
// directly followed by a line feed reads as one line feed, nothing else changes, and each
// piece ends after a line feed or when it holds the most characters asked for.
#pragma once

#include "platform.h"

#include <cstddef>

namespace tessan {

enum class PieceResult { Piece, End, ReadError };

struct TextReader {
    platform::File* file = nullptr;
    unsigned char buffer[8192];
    std::size_t position = 0;
    std::size_t filled = 0;
    bool atEnd = false;
    bool failed = false;
};

void startTextReader(TextReader& reader, platform::File& file);
// Reads the next piece of at most `maxChars` characters into `piece` (which has room for
// maxChars + 1 bytes; a zero byte follows the piece) and sets `length`. NUL bytes are
// ordinary characters, so `length` and not the zero byte tells where the piece ends.
PieceResult readPiece(TextReader& reader, char* piece, std::size_t maxChars, std::size_t& length);

// True when `text` occurs in the `length` characters of `line` (case-sensitive; NUL bytes in
// the line are ordinary characters).
bool containsText(const char* line, std::size_t length, const char* text);

// Reads up to `size` bytes, completing the short counts the system may hand back; `count` is
// less than `size` only at the end of the file. False on a read error.
bool readUpTo(platform::File& file, void* buffer, std::size_t size, std::size_t& count);

} // namespace tessan
