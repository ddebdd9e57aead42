#include "scanner.h"
#include "ascii_case.h"

#include "diagnostics.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>

namespace symmap {

namespace {

constexpr KeywordRow ListingRows[] = {
    {KwMacros, "Macros", 0},
    {KwStructures, "Structures", 0},
    {KwAnd, "and", 0},
    {KwUnions, "Unions", 0},
    {KwRecords, "Records", 0},
    {KwSegments, "Segments", 0},
    {KwGroups, "Groups", 0},
    {KwProcedures, "Procedures", 0},
    {KwParameters, "Parameters", 0},
    {KwLocals, "Locals", 0},
    {KwSymbols, "Symbols", 0},
    {KwProc, "Proc", 0},
    {KwByte, "Byte", 0},
    {KwWord, "Word", 0},
    {KwDWord, "DWord", 0},
    {KwQWord, "QWord", 0},
    {KwMech, "MECH_", 5},
    {KwText, "Text", 0},
    {KwNumber, "Number", 0},
    {KwExternal, "External", 0},
    {KwPublic, "Public", 0},
};

// What each byte can be in a token; the inner loops look a character up once.
enum CharClass : std::uint8_t {
    ClassDigit = 1,
    ClassIdentStart = 2,
    ClassIdentChar = 4,
    ClassPunct = 8,
};

struct CharTable {
    std::uint8_t classes[256];
    std::int8_t hexValue[256]; // -1 for a character that is no hexadecimal digit
};

constexpr CharTable makeCharTable() {
    CharTable table{};
    for (int c = 0; c < 256; ++c) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool identStart = letter || c == '_' || c == '?' || c == '@' || c == '$';
        std::uint8_t classes = 0;
        if (digit)
            classes |= ClassDigit;
        if (identStart)
            classes |= ClassIdentStart;
        if (identStart || digit)
            classes |= ClassIdentChar;
        for (const char* p = "!#%'()*+,-./:;<=>[]^{}\"\\|"; *p != '\0'; ++p) {
            if (c == *p)
                classes |= ClassPunct;
        }
        table.classes[c] = classes;
        table.hexValue[c] = static_cast<std::int8_t>(digit                    ? c - '0'
                                                     : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                     : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                                              : -1);
    }
    return table;
}

constexpr CharTable Chars = makeCharTable();

// Class bits of a current character, which is -1 past the end of the file.
std::uint8_t classOf(std::int32_t c) {
    return c < 0 ? 0 : Chars.classes[c];
}

int hexDigit(std::int32_t c) {
    return c < 0 ? -1 : Chars.hexValue[c];
}

// Whether the identifier `text` of `length` characters matches the keyword row: all of the
// word, or its first prefixLength characters (a word shorter than that matches nothing).
bool rowMatches(const KeywordRow& row, const char* text, std::size_t length) {
    const std::size_t prefix = static_cast<std::size_t>(row.prefixLength);
    if (prefix != 0 && length < prefix)
        return false;
    const std::size_t compared = prefix == 0 ? length : prefix;
    for (std::size_t i = 0; i < compared; ++i) {
        if (row.word[i] == '\0' || upperAscii(row.word[i]) != upperAscii(text[i]))
            return false;
    }
    return prefix != 0 || row.word[length] == '\0';
}

} // namespace

constinit const KeywordTable ListingKeywords = makeKeywordTable(ListingRows);

Scanner::~Scanner() {
    platform::closeFile(file_);
}

void Scanner::reset(const char* fileName, const KeywordTable& keywords) {
    // Messages quote at most 259 characters of the name; the file itself is opened by its
    // whole path, since a cut path could name another file.
    std::size_t length = std::strlen(fileName);
    if (length > ScannerNameLength)
        length = ScannerNameLength;
    std::memcpy(fileName_, fileName, length);
    fileName_[length] = '\0';
    // The buffer starts with one line feed, so the first token is always a line end and the
    // file's first line is line 0.
    block_[0] = '\n';
    fill_ = 1;
    position_ = 0;
    endOfFile_ = false;
    firstBlock_ = true;
    lineLead_ = true;
    current_ = 0;
    line_ = -1;
    column_ = -1;
    state_ = ScanState::ScanStart;
    identLength_ = 0;
    keywords_ = &keywords;
    tokKind = TokNone;
    tokFile = fileName_;
}

bool Scanner::open(const char* fileName, const KeywordTable& keywords) {
    platform::closeFile(file_);
    fromText_ = false;
    reset(fileName, keywords);
    if (!platform::openForReading(fileName, file_)) {
        reportMessage(MsgFileOpen, nullptr, -1, -1, fileName_);
        return false;
    }
    return next();
}

bool Scanner::openText(std::string_view text, const char* fileName, const KeywordTable& keywords) {
    platform::closeFile(file_);
    fromText_ = true;
    text_ = text;
    textPosition_ = 0;
    reset(fileName, keywords);
    return next();
}

bool Scanner::readInto(unsigned char* buffer, std::size_t size, std::size_t& bytesRead) {
    if (fromText_) {
        bytesRead = text_.size() - textPosition_;
        if (bytesRead > size)
            bytesRead = size;
        std::memcpy(buffer, text_.data() + textPosition_, bytesRead);
        textPosition_ += bytesRead;
        return true;
    }
    return platform::readBytes(file_, buffer, size, bytesRead);
}

bool Scanner::readBlock(std::size_t& bytesRead) {
    return readInto(block_, ScannerBlockSize, bytesRead);
}

// Makes the `count` bytes after the current character readable in the block, or as many as
// the file still holds: the bytes left in the block move to its front and the rest of the
// block is read.
bool Scanner::lookAhead(std::int32_t count) {
    if (fill_ - position_ >= count || endOfFile_)
        return true;
    const std::int32_t left = fill_ - position_;
    std::memmove(block_, block_ + position_, static_cast<std::size_t>(left));
    position_ = 0;
    fill_ = left;
    std::size_t bytesRead = 0;
    if (!readInto(block_ + left, ScannerBlockSize - static_cast<std::size_t>(left), bytesRead)) {
        reportMessage(MsgFileRead, nullptr, -1, -1, fileName_);
        return false;
    }
    // A read of no bytes here leaves the end of the file to the next block's read.
    fill_ += static_cast<std::int32_t>(bytesRead);
    return true;
}

bool Scanner::atColumnHeading(bool& ok) {
    ok = true;
    if (tokKind != TokIdent || tokLineLead == 0 || identLength_ != 1 || tokText[0] != 'N' ||
        current_ != ' ')
        return false;
    // "N" is current; the heading goes on with " a m e" and then a blank, a tab, a line
    // feed, a carriage return before a line feed, or the end of the file.
    constexpr std::int32_t Ahead = 7;
    if (!lookAhead(Ahead)) {
        ok = false;
        return false;
    }
    const std::int32_t left = fill_ - position_;
    const unsigned char* ahead = block_ + position_;
    if (left < 5 || std::memcmp(ahead, "a m e", 5) != 0)
        return false;
    if (left == 5)
        return true;
    const unsigned char after = ahead[5];
    if (after == '\r')
        return left == 6 || ahead[6] == '\n';
    return after == ' ' || after == '\t' || after == '\n';
}

// Makes the next character current once the block is used up: the first byte of the next
// block, the line feed that the end of the file stands for, or -1 after it.
bool Scanner::fetchBlock() {
    if (endOfFile_) {
        current_ = -1;
        return true;
    }
    std::size_t bytesRead = 0;
    if (!readBlock(bytesRead)) {
        fill_ = 0;
        position_ = 0;
        reportMessage(MsgFileRead, nullptr, -1, -1, fileName_);
        return false;
    }
    fill_ = static_cast<std::int32_t>(bytesRead);
    // Text saved as UTF-16 would read as a string of invalid characters and names cut in
    // two; its byte order mark tells it at once.
    if (firstBlock_ && bytesRead >= 2 &&
        ((block_[0] == 0xFF && block_[1] == 0xFE) || (block_[0] == 0xFE && block_[1] == 0xFF))) {
        reportMessage(MsgUtf16Input, nullptr, -1, -1, fileName_);
        return false;
    }
    firstBlock_ = false;
    if (bytesRead == 0) {
        endOfFile_ = true;
        position_ = 0;
        current_ = '\n';
    } else {
        // Every byte is a character, 0xFF included: only a read of no bytes ends the file.
        current_ = block_[0];
        position_ = 1;
    }
    return true;
}

// Makes the next character current without moving the line and column.
inline bool Scanner::fetchChar() {
    if (position_ < fill_) {
        current_ = block_[position_++];
        return true;
    }
    return fetchBlock();
}

// Moves past the current character.
inline bool Scanner::advanceChar() {
    if (current_ == '\t') {
        column_ += 4;
    } else if (current_ == '\n') {
        ++line_;
        column_ = 0;
        lineLead_ = true;
    } else if (current_ != -1) {
        ++column_;
    }
    return fetchChar();
}

void Scanner::lookupKeyword() {
    tokValue = 0;
    const std::size_t length =
        static_cast<std::size_t>(identLength_ > TokTextLength ? TokTextLength : identLength_);
    if (!keywords_->indexed) {
        for (std::size_t i = 0; i < keywords_->count; ++i) {
            if (rowMatches(keywords_->rows[i], tokText, length)) {
                tokValue = keywords_->rows[i].code;
                return;
            }
        }
        return;
    }
    // Only the rows whose word begins with the identifier's first letter and fits its length
    // can match; they are tried in table order.
    std::uint64_t rows = keywords_->byFirst[static_cast<unsigned char>(upperAscii(tokText[0]))] &
                         keywords_->byLength[length];
    while (rows != 0) {
        const int i = std::countr_zero(rows);
        if (rowMatches(keywords_->rows[i], tokText, length)) {
            tokValue = keywords_->rows[i].code;
            return;
        }
        rows &= rows - 1;
    }
}

// Moves over characters for as long as `visit(c, column)` takes them, with the position in
// locals meanwhile: the loops over identifiers and dot leaders, which are most of a listing.
template <typename Visit> bool Scanner::runOver(Visit&& visit) {
    std::int32_t column = column_;
    std::int32_t position = position_;
    std::int32_t fill = fill_;
    std::int32_t c = current_;
    bool ok = true;
    for (;;) {
        const Step step = visit(c, column);
        if (step != Step::Take) {
            ok = step == Step::Stop;
            break;
        }
        if (position < fill) {
            c = block_[position++];
            continue;
        }
        column_ = column;
        position_ = position;
        if (!fetchBlock()) {
            ok = false;
            break;
        }
        position = position_;
        fill = fill_;
        c = current_;
    }
    column_ = column;
    position_ = position;
    current_ = c;
    return ok;
}

// The rest of an identifier whose first character has been taken.
bool Scanner::scanIdentifier() {
    std::int32_t length = identLength_;
    int hexValid = tokHexValid;
    std::uint32_t hexValue = tokHexValue;
    int hexSuffixed = 0;
    const bool ok = runOver([&](std::int32_t c, std::int32_t& column) {
        if ((classOf(c) & ClassIdentChar) == 0)
            return Step::Stop;
        if (length < TokTextLength) {
            tokText[length++] = static_cast<char>(c);
        } else if (length == TokTextLength) {
            length = TokTextLength + 1;
            if (!reportMessage(MsgIdentifierTooLong, fileName_, line_, column))
                return Step::Fail;
        }
        if (hexValid == 1) {
            const int digit = Chars.hexValue[c];
            if (digit >= 0) {
                hexValue = hexValue * 16u + static_cast<std::uint32_t>(digit);
            } else {
                hexValid = 0;
                hexSuffixed = c == 'h' || c == 'H' ? 1 : 0;
            }
        } else {
            hexSuffixed = 0; // a character after the suffix: no number after all
        }
        ++column; // an identifier character is one column wide
        return Step::Take;
    });
    identLength_ = length;
    tokHexValid = hexValid;
    tokHexValue = hexValue;
    tokHexSuffixed = hexSuffixed;
    if (!ok)
        return false;
    tokText[length > TokTextLength ? TokTextLength : length] = '\0';
    lookupKeyword();
    state_ = ScanState::ScanToken;
    return true;
}

bool Scanner::skipPunctuationRun() {
    if (tokKind != TokPunct)
        return true;
    const std::int32_t mark = tokValue;
    while (tokKind == TokPunct && tokValue == mark) {
        // Characters that are the punctuation character or a blank give no other token and
        // are passed over here; the first other one is left to next(), which may also drop
        // it as invalid and come back with the same character.
        const bool ok = runOver([&](std::int32_t c, std::int32_t& column) {
            if (c == mark || c == ' ')
                ++column;
            else if (c == '\t')
                column += 4;
            else
                return Step::Stop;
            return Step::Take;
        });
        if (!ok || !next())
            return false;
    }
    return true;
}

bool Scanner::next() {
    for (;;) {
        switch (state_) {
        case ScanState::ScanStart:
            state_ = ScanState::ScanToken;
            if (!advanceChar())
                return false;
            break;

        case ScanState::ScanToken: {
            // Blanks are passed over here, so the token's position is taken after them.
            while (current_ == ' ' || current_ == '\t') {
                column_ += current_ == '\t' ? 4 : 1;
                if (!fetchChar())
                    return false;
            }
            tokFile = fileName_;
            tokLine = line_;
            tokColumn = column_;
            tokLineLead = lineLead_ ? 1 : 0;
            lineLead_ = false; // the line feed below sets it again
            const std::int32_t c = current_;
            const std::uint8_t classes = classOf(c);
            if ((classes & ClassDigit) != 0) {
                tokKind = TokNumber;
                tokValue = c - '0';
                if (!advanceChar())
                    return false;
                state_ = ScanState::ScanNumber;
            } else if ((classes & ClassIdentStart) != 0) {
                tokKind = TokIdent;
                tokText[0] = static_cast<char>(c);
                identLength_ = 1;
                const int digit = Chars.hexValue[c];
                tokHexValid = digit >= 10 ? 1 : 0;
                tokHexValue = digit >= 10 ? static_cast<std::uint32_t>(digit) : 0;
                ++column_;
                if (!fetchChar())
                    return false;
                state_ = ScanState::ScanIdent;
                return scanIdentifier();
            } else if (c == '\n') {
                tokKind = TokEndOfLine;
                return advanceChar();
            } else if (c == '\r') {
                tokKind = TokEndOfLine;
                if (!advanceChar())
                    return false;
                state_ = ScanState::ScanAfterCr;
            } else if ((classes & ClassPunct) != 0) {
                tokKind = TokPunct;
                tokValue = c;
                return advanceChar();
            } else if (c == -1) {
                tokKind = TokEndOfLine;
                state_ = ScanState::ScanDone;
                return true;
            } else {
                // The offending byte itself stands between the quotes, a NUL byte included,
                // then its value in lower-case hexadecimal: "'X' (0xNN)".
                char value[3];
                std::snprintf(value, sizeof value, "%02x", static_cast<unsigned>(c & 0xFF));
                const std::string extra =
                    std::string("'") + static_cast<char>(c) + "' (0x" + value + ")";
                if (!reportMessage(MsgInvalidCharacter, fileName_, line_, column_, extra))
                    return false;
                if (!advanceChar())
                    return false;
            }
            break;
        }

        case ScanState::ScanNumber: {
            const int digit = hexDigit(current_);
            if (digit >= 0) {
                // Wraps modulo 2^32 like the listing's own tools.
                tokValue = static_cast<std::int32_t>(static_cast<std::uint32_t>(tokValue) * 16u +
                                                     static_cast<std::uint32_t>(digit));
                if (!advanceChar())
                    return false;
                break;
            }
            if (current_ == 'h' || current_ == 'H') {
                if (!advanceChar())
                    return false;
            }
            state_ = ScanState::ScanToken;
            return true;
        }

        case ScanState::ScanIdent:
            return scanIdentifier();

        case ScanState::ScanAfterCr:
            if (current_ == '\n') {
                if (!advanceChar())
                    return false;
            }
            state_ = ScanState::ScanToken;
            return true;

        case ScanState::ScanDone:
            tokKind = TokEndOfFile;
            return true;
        }
    }
}

bool Scanner::skipToEndOfLine() {
    // Most skipped rests of lines hold only blanks, punctuation and names or numbers: tokens
    // that give no message, so only the position moves. Such a rest is passed over in one
    // loop over the block, as long as its line end lies in the block too. A character that
    // may give a message (an invalid one, or the one that makes a name too long, for which a
    // run of name characters longer than a name can be stands) leaves the line to next().
    if (state_ == ScanState::ScanToken && tokKind != TokEndOfLine && tokKind != TokEndOfFile) {
        std::int32_t column = column_;
        std::int32_t position = position_;
        std::int32_t run = 0; // name characters in a row
        std::int32_t c = current_;
        for (;;) {
            if (c == '\n' || c == '\r') {
                column_ = column;
                position_ = position;
                current_ = c;
                return next(); // the line end, at its line and column
            }
            const std::uint8_t classes = classOf(c);
            if (c == ' ' || (classes & ClassPunct) != 0) {
                ++column;
                run = 0;
            } else if (c == '\t') {
                column += 4;
                run = 0;
            } else if ((classes & ClassIdentChar) != 0 && run < TokTextLength) {
                ++column;
                ++run;
            } else {
                break;
            }
            if (position >= fill_)
                break;
            c = block_[position++];
        }
    }
    while (tokKind != TokEndOfLine && tokKind != TokEndOfFile) {
        if (!next())
            return false;
    }
    return true;
}

} // namespace symmap
