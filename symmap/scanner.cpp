#include "scanner.h"

#include "diagnostics.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace symmap {

namespace {

const KeywordRow ListingRows[] = {
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

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
bool isLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isIdentStart(int c) {
    return isLetter(c) || c == '_' || c == '?' || c == '@' || c == '$';
}
bool isIdentChar(int c) {
    return isIdentStart(c) || isDigit(c);
}

// Value of a hexadecimal digit, -1 for any other character.
int hexDigit(int c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isPunctuation(int c) {
    return c > 0 && c < 128 && std::strchr("!#%'()*+,-./:;<=>[]^{}\"\\|", c) != nullptr;
}

// Compares the first `length` characters ignoring ASCII case; both must have them.
bool equalIgnoringCase(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

} // namespace

const KeywordTable ListingKeywords = {ListingRows, sizeof ListingRows / sizeof ListingRows[0]};

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
        reportMessage(1, nullptr, -1, -1, fileName_);
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

bool Scanner::readBlock(std::size_t& bytesRead) {
    if (fromText_) {
        bytesRead = text_.size() - textPosition_;
        if (bytesRead > ScannerBlockSize)
            bytesRead = ScannerBlockSize;
        std::memcpy(block_, text_.data() + textPosition_, bytesRead);
        textPosition_ += bytesRead;
        return true;
    }
    return platform::readBytes(file_, block_, ScannerBlockSize, bytesRead);
}

bool Scanner::advanceChar() {
    if (current_ == '\t') {
        column_ += 4;
    } else if (current_ == '\n') {
        ++line_;
        column_ = 0;
    } else if (current_ != -1) {
        ++column_;
    }

    if (position_ < fill_) {
        current_ = block_[position_++];
    } else if (endOfFile_) {
        current_ = -1;
    } else {
        std::size_t bytesRead = 0;
        if (!readBlock(bytesRead)) {
            fill_ = 0;
            position_ = 0;
            reportMessage(4, nullptr, -1, -1, fileName_);
            return false;
        }
        fill_ = static_cast<std::int32_t>(bytesRead);
        if (bytesRead == 0) {
            // The end of the file acts as one more line feed.
            endOfFile_ = true;
            position_ = 0;
            current_ = '\n';
        } else {
            current_ = block_[0];
            position_ = 1;
        }
    }
    return true;
}

void Scanner::lookupKeyword() {
    tokValue = 0;
    const std::size_t length =
        static_cast<std::size_t>(identLength_ > TokTextLength ? TokTextLength : identLength_);
    for (std::size_t i = 0; i < keywords_->count; ++i) {
        const KeywordRow& row = keywords_->rows[i];
        const std::size_t wordLength = std::strlen(row.word);
        bool match;
        if (row.prefixLength == 0) {
            match = length == wordLength && equalIgnoringCase(tokText, row.word, length);
        } else {
            const std::size_t prefix = static_cast<std::size_t>(row.prefixLength);
            match = length >= prefix && wordLength >= prefix &&
                    equalIgnoringCase(tokText, row.word, prefix);
        }
        if (match) {
            tokValue = row.code;
            return;
        }
    }
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
            tokFile = fileName_;
            tokLine = line_;
            tokColumn = column_;
            const std::int32_t c = current_;
            if (isDigit(c)) {
                tokKind = TokNumber;
                tokValue = c - '0';
                if (!advanceChar())
                    return false;
                state_ = ScanState::ScanNumber;
            } else if (isIdentStart(c)) {
                tokKind = TokIdent;
                tokText[0] = static_cast<char>(c);
                identLength_ = 1;
                const int digit = hexDigit(c);
                tokHexValid = digit >= 10 ? 1 : 0;
                tokHexValue = digit >= 10 ? static_cast<std::uint32_t>(digit) : 0;
                if (!advanceChar())
                    return false;
                state_ = ScanState::ScanIdent;
            } else if (c == ' ' || c == '\t') {
                if (!advanceChar())
                    return false;
            } else if (c == '\n') {
                tokKind = TokEndOfLine;
                return advanceChar();
            } else if (c == '\r') {
                tokKind = TokEndOfLine;
                if (!advanceChar())
                    return false;
                state_ = ScanState::ScanAfterCr;
            } else if (isPunctuation(c)) {
                tokKind = TokPunct;
                tokValue = c;
                return advanceChar();
            } else if (c == -1) {
                tokKind = TokEndOfLine;
                state_ = ScanState::ScanDone;
                return true;
            } else {
                // The offending byte itself stands between the quotes, a NUL byte included.
                char extra[16];
                const int length = std::snprintf(extra, sizeof extra, "'%c' (0x%02x)", 'X', c);
                extra[1] = static_cast<char>(c);
                if (!reportMessage(8, fileName_, line_, column_,
                                   std::string_view(extra, static_cast<std::size_t>(length))))
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

        case ScanState::ScanIdent: {
            const std::int32_t c = current_;
            if (!isIdentChar(c)) {
                const int length = identLength_ > TokTextLength ? TokTextLength : identLength_;
                tokText[length] = '\0';
                lookupKeyword();
                state_ = ScanState::ScanToken;
                return true;
            }
            if (identLength_ < TokTextLength) {
                tokText[identLength_++] = static_cast<char>(c);
            } else if (identLength_ == TokTextLength) {
                identLength_ = TokTextLength + 1;
                if (!reportMessage(7, fileName_, line_, column_))
                    return false;
            }
            if (tokHexValid == 1) {
                const int digit = hexDigit(c);
                if (digit >= 0)
                    tokHexValue = tokHexValue * 16u + static_cast<std::uint32_t>(digit);
                else
                    tokHexValid = 0;
            }
            if (!advanceChar())
                return false;
            break;
        }

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

bool skipToEndOfLine(Scanner& scanner) {
    while (scanner.tokKind != TokEndOfLine && scanner.tokKind != TokEndOfFile) {
        if (!scanner.next())
            return false;
    }
    return true;
}

} // namespace symmap
