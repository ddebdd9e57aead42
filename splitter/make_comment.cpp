// Takes the comment text of Plc_main.bin from the make-file's first comment line.
#include "splitter.h"
#include "text_lines.h"

#include <cstring>

namespace tessan {

namespace {

// Each make-file read takes at most this many characters.
constexpr std::size_t MakePieceChars = 199;
// The comment text fills the block but its last byte, which stays zero.
constexpr std::size_t CommentChars = 31;

} // namespace

bool takeCommentLine(const char* line, std::size_t length, CommentBlock& comment) {
    if (!containsText(line, length, "COMMENT") && !containsText(line, length, "Comment") &&
        !containsText(line, length, "comment"))
        return false;
    std::memset(comment.bytes, ' ', CommentChars);
    comment.bytes[CommentChars] = '\0';
    const void* open = std::memchr(line, '"', length);
    if (open == nullptr)
        return true;
    // The text runs to the next quote or to the end of the piece as read, its line feed
    // included when the quote is not closed.
    std::size_t pos = static_cast<std::size_t>(static_cast<const char*>(open) - line) + 1;
    for (std::size_t i = 0; i < CommentChars && pos < length && line[pos] != '"'; ++i, ++pos)
        comment.bytes[i] = static_cast<unsigned char>(line[pos]);
    return true;
}

bool scanMakeComment(const char* makePath, CommentBlock& comment) {
    platform::File file;
    if (!platform::openForReading(makePath, file)) {
        printMessage("\nError: 19, File open error: %s\n", makePath);
        return false;
    }
    TextReader reader;
    startTextReader(reader, file);
    char piece[MakePieceChars + 1];
    std::size_t length = 0;
    for (;;) {
        const PieceResult result = readPiece(reader, piece, MakePieceChars, length);
        if (result == PieceResult::ReadError) {
            platform::closeFile(file);
            printMessage("\nError: 22, File read error: %s\n", makePath);
            return false;
        }
        if (result == PieceResult::End || takeCommentLine(piece, length, comment))
            break;
    }
    platform::closeFile(file);
    return true;
}

} // namespace tessan
