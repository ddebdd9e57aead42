// The token scanner shared by the listing reader and the linker-map reader.
#pragma once

#include "platform.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace symmap {

enum TokenKind : std::uint8_t {
    TokNone = 0,
    TokPunct = 1,
    TokEndOfLine = 2,
    TokNumber = 3,
    TokIdent = 4,
    TokEndOfFile = 5,
};

enum class ScanState : std::uint8_t {
    ScanStart,
    ScanToken,
    ScanNumber,
    ScanIdent,
    ScanAfterCr,
    ScanDone,
};

// One keyword: `prefixLength` 0 asks for the whole word, n > 0 for its first n characters.
struct KeywordRow {
    int code;
    const char* word;
    int prefixLength;
};

// Longest identifier kept in tokText; longer ones are cut (message 7).
inline constexpr int TokTextLength = 128;

// A keyword table and its index, worked out when the program is compiled: for each upper-cased
// first character and for each identifier length, the rows (bit i: row i) that an identifier
// can match, so that most identifiers are told to be no keyword with one look, and opening a
// file costs nothing for its keywords.
struct KeywordTable {
    const KeywordRow* rows;
    std::size_t count;
    bool indexed; // false for tables of more than 64 rows, which are searched row by row
    std::uint64_t byFirst[256];
    std::uint64_t byLength[TokTextLength + 1];
};

template <std::size_t N> constexpr KeywordTable makeKeywordTable(const KeywordRow (&rows)[N]) {
    KeywordTable table{rows, N, N <= 64, {}, {}};
    if (!table.indexed)
        return table;
    for (std::size_t i = 0; i < N; ++i) {
        const KeywordRow& row = rows[i];
        // A row with an empty word matches no identifier.
        char first = row.word[0];
        if (first >= 'a' && first <= 'z')
            first = static_cast<char>(first - 'a' + 'A');
        if (first == '\0')
            continue;
        const std::uint64_t bit = std::uint64_t{1} << i;
        table.byFirst[static_cast<unsigned char>(first)] |= bit;
        std::size_t wordLength = 0;
        while (row.word[wordLength] != '\0')
            ++wordLength;
        const std::size_t prefix = static_cast<std::size_t>(row.prefixLength);
        for (std::size_t length = 1; length <= TokTextLength; ++length) {
            if (prefix == 0 ? length == wordLength : length >= prefix && wordLength >= prefix)
                table.byLength[length] |= bit;
        }
    }
    return table;
}

// Keyword codes of the listing table.
enum ListingKeyword : int {
    KwMacros = 1,
    KwStructures = 2,
    KwAnd = 3,
    KwUnions = 4,
    KwRecords = 5,
    KwSegments = 6,
    KwGroups = 7,
    KwProcedures = 8,
    KwParameters = 9,
    KwLocals = 10,
    KwSymbols = 11,
    KwProc = 12,
    KwByte = 13,
    KwWord = 14,
    KwDWord = 15,
    KwQWord = 16,
    KwMech = 17,
    KwText = 18,
    KwNumber = 19,
    KwExternal = 20,
    KwPublic = 21,
};

extern const KeywordTable ListingKeywords;

// Characters of the file name that messages quote.
inline constexpr std::size_t ScannerNameLength = 259;
// Bytes read from the file at a time. The size shows nowhere but in the number of reads: a
// 64 KiB block reads a listing of 64 MB in a thousand calls instead of sixty thousand.
inline constexpr std::size_t ScannerBlockSize = 64 * 1024;

class Scanner {
  public:
    Scanner() = default;
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // Opens the file (message 1 when it cannot) and makes the first token current.
    bool open(const char* fileName, const KeywordTable& keywords);
    // Scans `text` as if it were the file `fileName`, block by block like a file (for tests).
    bool openText(std::string_view text, const char* fileName, const KeywordTable& keywords);
    // Makes the next token current; false on a read error or when the reporter says stop.
    bool next();
    // With a punctuation token current, makes current the first token that is not that same
    // character: the tokens that calling next() until then would give, the run of dots of a
    // listing's leaders read in one loop.
    bool skipPunctuationRun();
    // Makes the line's TokEndOfLine (or TokEndOfFile) current: the tokens and messages that
    // calling next() until then would give.
    bool skipToEndOfLine();
    // With an identifier current: true when it is the "N" of a tables' column heading, a line
    // that begins, after blanks and tabs, with "N a m e" and a blank, a tab or the line end.
    // False for any other token; `ok` is false after a read error (message 4).
    bool atColumnHeading(bool& ok);
    // The text of the most recent identifier, without its terminator.
    std::string_view tokTextView() const {
        return std::string_view(
            tokText,
            static_cast<std::size_t>(identLength_ > TokTextLength ? TokTextLength : identLength_));
    }

    TokenKind tokKind = TokNone;
    std::int32_t tokValue = 0;
    char tokText[TokTextLength + 1] = {};
    int tokHexValid = 0;
    std::uint32_t tokHexValue = 0;
    // 1 when the identifier is hexadecimal digits that begin with a letter followed by one
    // final h or H ("A003h", "FFh"): a number written letter first with its suffix, whose
    // value is then in tokHexValue. tokHexValid is 0 for it, the h being no digit.
    int tokHexSuffixed = 0;
    // 1 when only blanks and tabs stand before the token on its line (lines that line feeds
    // end).
    int tokLineLead = 0;
    const char* tokFile = nullptr;
    std::int32_t tokLine = 0;
    std::int32_t tokColumn = 0;

  private:
    void reset(const char* fileName, const KeywordTable& keywords);
    bool advanceChar();
    bool fetchChar();
    bool fetchBlock();
    bool readBlock(std::size_t& bytesRead);
    bool readInto(unsigned char* buffer, std::size_t size, std::size_t& bytesRead);
    bool lookAhead(std::int32_t count);
    void lookupKeyword();
    bool scanIdentifier();
    enum class Step { Take, Stop, Fail };
    template <typename Visit> bool runOver(Visit&& visit);

    char fileName_[ScannerNameLength + 1] = {};
    platform::File file_;
    std::string_view text_; // in-memory input when openText was used
    bool fromText_ = false;
    std::size_t textPosition_ = 0;
    unsigned char block_[ScannerBlockSize]; // only the bytes read are ever looked at
    std::int32_t fill_ = 0;
    std::int32_t position_ = 0;
    bool endOfFile_ = false;
    bool firstBlock_ = true; // no block of the file read yet
    bool lineLead_ = true;   // only blanks and tabs since the last line feed
    std::int32_t current_ = 0;
    std::int32_t line_ = -1;
    std::int32_t column_ = -1;
    ScanState state_ = ScanState::ScanStart;
    std::int32_t identLength_ = 0;
    const KeywordTable* keywords_ = nullptr;
};

// Moves to the line's TokEndOfLine (or TokEndOfFile), which stays current.
inline bool skipToEndOfLine(Scanner& scanner) {
    return scanner.skipToEndOfLine();
}

} // namespace symmap
