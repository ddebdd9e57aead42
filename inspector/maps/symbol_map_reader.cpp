// Reading a symbol map (.mp2) and checking it against the format the symbol map builder
// writes: the header line "$MP2 02"; five sections in fixed order, each an empty line, its
// title with the row count, its comment line and exactly that many rows; every row of its
// section's format, the names in the writer's order and never repeated; every bit located in
// a variable of the symbol table, and the bit-fields and bit-weights sections listing the same
// bits in the same order; every variable ending within its segment's 64 KiB; CR LF after every
// line and nothing after the last row.
//
// Every finding names its line. The reader goes on after a finding, so that one cut or edited
// line gives one finding rather than a finding for every line after it: each section is found
// by its title (or its comment line) wherever it stands, and its rows are the lines up to the
// next one, whatever its title said their count was. A map saved with a byte-order mark, as
// UTF-16 or with LF line ends is read as the text it holds, with one finding that says so.
#include "symbol_map.h"

#include <algorithm>
#include <concepts>
#include <cstring>
#include <string>
#include <utility>

namespace plcinfo {

const char* const SectionTitles[MapSectionCount] = {
    "SYMBOL_TABLE", "BIT_FIELDS", "STRUCTURE_OFFSETS", "BIT_WEIGHTS", "CONSTANTS",
};

const char* const TypeNames[TypeColumnCount] = {"BYTE", "WORD", "DWORD", "QWORD", "MECH"};
const unsigned TypeWidths[TypeColumnCount] = {1, 2, 4, 8, 1};
const DataSegment DataSegments[DataSegmentCount] = {
    {0x30, "DATA_COM"}, {0x68, "DATA1"}, {0xA0, "DATA_USR"}, {0x160, "DATAROZ"}};

namespace {

const char Header[] = "$MP2 02";
const char* const Comments[MapSectionCount] = {
    ";Sel    Addr    Type    Symbol",        ";Bit                           Location",
    ";Name                          Offset", ";Bit                           Weight",
    ";Name                          Value",
};
// The type columns as the writer gives them, each followed by three blanks and the name. The
// QWord column "BYTE" is the Byte column without its last blank, so it is tried last.
const char* const TypeColumns[TypeColumnCount] = {"BYTE ", "WORD ", "DWORD", "BYTE", "MECH "};
const TypeColumn ColumnOrder[TypeColumnCount] = {
    TypeColumn::Byte, TypeColumn::Word, TypeColumn::DWord, TypeColumn::Mech, TypeColumn::QWord};
// Names are padded with blanks to this column in the four sections after the symbol table.
constexpr std::size_t FillWidth = 31;
// A map larger than this is no map the builder writes; row offsets and line numbers are 32
// bits wide.
constexpr std::uint64_t MaxMapSize = 0x7FFFFFFFu;

struct Line {
    const char* text = nullptr;
    std::size_t length = 0; // without its line end
    bool crlf = false;      // ended by CR LF
    bool lf = false;        // ended by a line feed (with or without CR)
    std::uint32_t number = 0;
};

// Cuts the file into lines one at a time.
struct LineReader {
    const char* text = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    std::uint32_t number = 0;
    Line current;
    bool has = false;

    bool atEnd() const { return !has; }
    void advance() {
        has = at < size;
        if (!has)
            return;
        current.text = text + at;
        current.number = ++number;
        const void* lf = std::memchr(text + at, '\n', size - at);
        const std::size_t end = lf ? static_cast<const char*>(lf) - text : size;
        current.lf = lf != nullptr;
        current.crlf = current.lf && end > at && text[end - 1] == '\r';
        current.length = end - at - (current.crlf ? 1 : 0);
        at = current.lf ? end + 1 : end;
    }
    // The line after the current one begins with `c` (false at the end of the file).
    bool nextBeginsWith(char c) const { return at < size && text[at] == c; }
};

// The name a bit row begins with and its line, read from every row of the two bit sections
// whether or not the rest of it is of its format.
struct BitName {
    std::string_view name;
    std::uint32_t line;
};

// The pieces of a finding's text: a text as it stands, a number in decimal, a line quoted, a
// section's title.
struct QuotedLine {
    std::string_view line;
};
struct SectionTitle {
    int section;
};

void appendPiece(std::string& out, std::string_view text) {
    out += text;
}

template <std::integral Number> void appendPiece(std::string& out, Number value) {
    out += std::to_string(value);
}

// The line in quotes, its first 60 bytes, each byte outside printable ASCII as \xNN.
void appendPiece(std::string& out, QuotedLine quoted) {
    out += '"';
    for (char c : quoted.line.substr(0, 60)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F)
            out += c;
        else
            appendByteEscape(out, "\\x", u);
    }
    out += quoted.line.size() > 60 ? "...\"" : "\"";
}

// "[SYMBOL_TABLE n]": how a section's title is written, its count standing for any.
void appendPiece(std::string& out, SectionTitle title) {
    out += '[';
    out += SectionTitles[title.section];
    out += " n]";
}

struct Checker {
    SymbolMap& map;
    LineReader lines;
    std::vector<BitName> bitNames[2];      // bit fields, bit weights
    std::vector<std::uint32_t> fieldLines; // the line of each bit-fields row read
    bool lfThroughout = false;             // every line ends in LF alone: reported once

    // A finding on `line`, its text joined from `pieces` (see appendPiece). A damaged map can
    // give a finding on every line: past the findings kept it is only counted, and its text is
    // never built.
    template <typename... Pieces> void report(std::uint32_t line, const Pieces&... pieces) {
        ++map.findingCount;
        if (map.findings.size() >= MaxKeptFindings)
            return;
        MapFinding finding{line, {}};
        (appendPiece(finding.text, pieces), ...);
        map.findings.push_back(std::move(finding));
    }

    void checkLineEnd(const Line& line) {
        if (!line.lf)
            report(line.number, "the file ends without CR LF after the line");
        else if (!line.crlf && !lfThroughout)
            report(line.number, "the line ends in LF alone, not CR LF");
    }

    std::string_view view(const Line& line) const {
        return std::string_view(line.text, line.length);
    }
};

bool isNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '$' ||
           c == '?' || c == '@' || c == '_';
}

// Length of the name at the front of `text`: the characters a listing's identifiers hold.
std::size_t nameLength(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && isNameCharacter(text[n]))
        ++n;
    return n;
}

// The lower-case hexadecimal digits at the front of `text` (at most 17 are read: more than 16
// make a value no column holds).
bool readHex(std::string_view text, std::size_t& used, std::uint64_t& value) {
    used = 0;
    value = 0;
    while (used < text.size() && used < 17) {
        const char c = text[used];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            break;
        value = value << 4 | digit;
        ++used;
    }
    return used > 0;
}

// The number as the writer prints it with "%0<width>x": at least `width` digits, no more
// leading zeros than those.
bool isPrintedHex(std::string_view digits, std::uint64_t value, std::size_t width) {
    if (digits.size() < width)
        return false;
    return digits.size() == width || (digits[0] != '0' && value != 0);
}

// "%04xH" at the front of `text`, then three blanks; `limit` is the largest value the writer
// prints there.
bool readHexColumn(std::string_view text, std::uint64_t limit, std::size_t& used,
                   std::uint64_t& value) {
    std::size_t digits = 0;
    if (!readHex(text, digits, value) || digits > 16 || value > limit ||
        !isPrintedHex(text.substr(0, digits), value, 4))
        return false;
    if (text.substr(digits, 4) != "H   ")
        return false;
    used = digits + 4;
    return true;
}

// "%d" with at least `width` digits, a minus sign in front of them, as printf writes it.
bool readPrintedDecimal(std::string_view text, std::size_t width, std::int64_t low,
                        std::int64_t high, std::int64_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > 11)
        return false;
    std::int64_t magnitude = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
    }
    value = negative ? -magnitude : magnitude;
    // printf pads "-1" with "%04d" to "-001": the sign counts towards the width.
    const std::size_t printedWidth = text.size();
    const bool padded = digits.size() > 1 && digits[0] == '0';
    if (printedWidth < width || (padded && printedWidth > width) || (negative && magnitude == 0))
        return false;
    return value >= low && value <= high;
}

// The name at the front of a row: a name as the listing gives it, of at most 128 characters.
bool readRowName(Checker& checker, const Line& line, std::string_view text, std::size_t& length) {
    length = nameLength(text);
    if (length == 0) {
        checker.report(line.number, "the row does not begin with a name");
        return false;
    }
    if (length > MaxNameLength) {
        checker.report(line.number, "the name is longer than 128 characters");
        return false;
    }
    return true;
}

bool readSymbolRow(Checker& checker, const Line& line, MapRow& row) {
    const std::string_view text = checker.view(line);
    std::size_t at = 0;
    std::size_t used = 0;
    std::uint64_t selector = 0;
    std::uint64_t address = 0;
    if (!readHexColumn(text, 0xFFFF, used, selector) || used != 8) {
        checker.report(line.number, "the selector is not four lower-case hexadecimal digits, "
                                    "\"H\" and three blanks");
        return false;
    }
    at = used;
    if (!readHexColumn(text.substr(at), 0xFFFFFFFFu, used, address)) {
        checker.report(line.number, "the address is not lower-case hexadecimal of at least four "
                                    "digits, \"H\" and three blanks");
        return false;
    }
    at += used;
    const std::string_view rest = text.substr(at);
    int column = -1;
    for (int i = 0; i < TypeColumnCount && column < 0; ++i) {
        const int type = static_cast<int>(ColumnOrder[i]);
        const std::size_t width = std::strlen(TypeColumns[type]);
        if (rest.substr(0, width) == TypeColumns[type] && rest.substr(width, 3) == "   " &&
            rest.size() > width + 3 && rest[width + 3] != ' ')
            column = type;
    }
    if (column < 0) {
        checker.report(line.number, "the type column is none the writer gives (\"BYTE \", "
                                    "\"WORD \", \"DWORD\", \"MECH \" or \"BYTE\") followed by "
                                    "three blanks and the name");
        return false;
    }
    at += std::strlen(TypeColumns[column]) + 3;
    std::size_t length = 0;
    if (!readRowName(checker, line, text.substr(at), length))
        return false;
    if (at + length != text.size()) {
        checker.report(line.number, "the row goes on after the name");
        return false;
    }
    row.nameAt = static_cast<std::uint32_t>(line.text + at - checker.map.text);
    row.nameLength = static_cast<std::uint16_t>(length);
    row.selector = static_cast<std::uint16_t>(selector);
    row.value = static_cast<std::uint32_t>(address);
    row.type = static_cast<TypeColumn>(column);
    return true;
}

// A row of the four sections after the symbol table: name, blank fill to column 32 (one blank
// after a longer name), value.
bool readNamedRow(Checker& checker, const Line& line, MapSection section, MapRow& row) {
    const std::string_view text = checker.view(line);
    std::size_t length = 0;
    if (!readRowName(checker, line, text, length))
        return false;
    const std::size_t fill = length < FillWidth ? FillWidth - length : 1;
    std::size_t blanks = 0;
    while (length + blanks < text.size() && text[length + blanks] == ' ')
        ++blanks;
    if (blanks != fill) {
        if (blanks == 0 && length < text.size())
            checker.report(line.number, "the name holds a character names cannot hold");
        else
            checker.report(line.number, "the blank fill after the name is not ", fill, " blanks");
        return false;
    }
    const std::string_view value = text.substr(length + fill);
    row.nameAt = static_cast<std::uint32_t>(line.text - checker.map.text);
    row.nameLength = static_cast<std::uint16_t>(length);
    std::int64_t number = 0;
    switch (section) {
    case SectionBitFields: {
        const std::size_t location = nameLength(value);
        if (location == 0 || location != value.size() || location > MaxNameLength) {
            checker.report(line.number, "the location is not the name of a variable");
            return false;
        }
        row.value = static_cast<std::uint32_t>(value.data() - checker.map.text);
        row.selector = static_cast<std::uint16_t>(location);
        return true;
    }
    case SectionMembers:
        if (!readPrintedDecimal(value, 4, INT32_MIN, INT32_MAX, number)) {
            checker.report(line.number, "the offset is not a decimal number of at least four "
                                        "digits");
            return false;
        }
        row.value = static_cast<std::uint32_t>(number);
        return true;
    case SectionBitWeights:
        if (!readPrintedDecimal(value, 2, 0, 255, number)) {
            checker.report(line.number, "the weight is not a number from 00 to 255");
            return false;
        }
        row.value = static_cast<std::uint32_t>(number);
        return true;
    default: {
        std::size_t digits = 0;
        std::uint64_t constant = 0;
        if (value.size() != 8 || !readHex(value, digits, constant) || digits != 8) {
            checker.report(line.number, "the value is not eight lower-case hexadecimal digits");
            return false;
        }
        row.value = static_cast<std::uint32_t>(constant);
        return true;
    }
    }
}

// The word that follows "[" at the front of a title line (or that stands at the front of a
// line whose "[" was lost), up to a blank, "]" or a control character.
std::string_view titleWord(std::string_view text) {
    if (!text.empty() && text[0] == '[')
        text.remove_prefix(1);
    std::size_t n = 0;
    while (n < text.size() && text[n] != ' ' && text[n] != ']' &&
           static_cast<unsigned char>(text[n]) >= 0x20)
        ++n;
    return text.substr(0, n);
}

int sectionOfTitle(std::string_view word) {
    for (int section = 0; section < MapSectionCount; ++section)
        if (word == SectionTitles[section])
            return section;
    return -1;
}

// The section whose comment line this is: the comment as written, or one whose last word is
// that of a section's comment (";Bit  Location" with the blanks edited); -1 for none.
int sectionOfComment(std::string_view text) {
    static const char* const LastWords[MapSectionCount] = {"Symbol", "Location", "Offset", "Weight",
                                                           "Value"};
    for (int section = 0; section < MapSectionCount; ++section)
        if (text == Comments[section])
            return section;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r'))
        text.remove_suffix(1);
    const std::size_t blank = text.find_last_of(' ');
    const std::string_view last = blank == std::string_view::npos ? text : text.substr(blank + 1);
    for (int section = 0; section < MapSectionCount; ++section)
        if (last == LastWords[section])
            return section;
    return -1;
}

// A title line as the writer gives it, "[TITLE count]", or one damaged around a readable
// count ("[TITLE count] ", "[TITLE count", a stray CR): `exact` tells which.
struct TitleForm {
    bool exact = false;
    bool hasCount = false;
    std::int64_t count = 0;
};

TitleForm readTitleForm(std::string_view text, int section) {
    TitleForm form;
    const std::size_t titleLength = std::strlen(SectionTitles[section]);
    const bool bracket = !text.empty() && text[0] == '[';
    std::string_view rest = text.substr((bracket ? 1 : 0) + titleLength);
    std::size_t blanks = 0;
    while (blanks < rest.size() && rest[blanks] == ' ')
        ++blanks;
    std::size_t digits = 0;
    while (blanks + digits < rest.size() && rest[blanks + digits] >= '0' &&
           rest[blanks + digits] <= '9')
        ++digits;
    const std::string_view number = rest.substr(blanks, digits);
    form.hasCount = readPrintedDecimal(number, 1, 0, INT32_MAX, form.count);
    form.exact = bracket && blanks == 1 && form.hasCount && rest.substr(1 + digits) == "]";
    return form;
}

void checkOrder(Checker& checker, MapSection section, const MapRow& row, const MapRow* previous,
                std::uint32_t line, std::uint32_t previousLine) {
    if (previous == nullptr)
        return;
    const std::string_view name = rowName(checker.map, row);
    const std::string_view before = rowName(checker.map, *previous);
    const int order = compareNames(before, name);
    if (order < 0)
        return;
    checker.map.ordered[section] = false;
    if (order == 0)
        checker.report(line, name, " repeats the name of line ", previousLine);
    else
        checker.report(line, name, " is out of order: it sorts before ", before, " of line ",
                       previousLine);
}

// Where the walk over the sections stands.
struct Walk {
    int current = -1; // the section whose rows are being read
    int next = 0;     // the section the writer puts next
    std::uint32_t titleLine = 0;
    bool hasCount = false;
    std::int64_t count = 0;
    std::int64_t lineCount = 0; // lines of rows in the current section, read or not
    bool expectComment = false; // the line before was the current section's title
    std::uint32_t previousLine = 0;
    std::vector<std::uint32_t> emptyLines; // empty lines not yet known to be in their place
};

// The current section's title against the lines of rows it had.
void closeSection(Checker& checker, Walk& walk) {
    if (walk.current >= 0 && walk.hasCount && walk.count != walk.lineCount)
        checker.report(walk.titleLine, "[", SectionTitles[walk.current], " ", walk.count, "] says ",
                       walk.count, " rows, the section has ", walk.lineCount);
    walk.hasCount = false;
}

// Empty lines before a row, or more than one before a title: each is one finding.
template <typename... Pieces>
void reportEmptyLines(Checker& checker, Walk& walk, std::size_t keep, const Pieces&... pieces) {
    for (std::size_t i = 0; i + keep < walk.emptyLines.size(); ++i)
        checker.report(walk.emptyLines[i], pieces...);
    walk.emptyLines.clear();
}

// How a section's first line was found.
enum class Opening {
    Title,        // a title of the section's name, perhaps damaged around its count
    UnknownTitle, // a title of a name no section has: taken as the section that comes next
    Comment,      // the comment line, the title missing before it
};

// A section begins at `line`. The section is the one its title or comment names, wherever it
// stands; each damage of its first lines is one finding.
void openSection(Checker& checker, Walk& walk, int section, const Line& line, Opening opening) {
    closeSection(checker, walk);
    const SectionTitle title{section};
    if (walk.emptyLines.empty())
        checker.report(line.number, "an empty line must come before ", title);
    reportEmptyLines(checker, walk, 1, "an empty line too many before ", title);
    if (section != walk.next || opening == Opening::UnknownTitle) {
        if (walk.next < MapSectionCount)
            checker.report(line.number, "expected ", SectionTitle{walk.next}, ", found ",
                           QuotedLine{checker.view(line)});
        else
            checker.report(line.number, "expected no more sections, found ",
                           QuotedLine{checker.view(line)});
    }
    walk.current = section;
    walk.next = std::max(walk.next, section + 1);
    walk.lineCount = 0;
    walk.titleLine = line.number;
    walk.previousLine = 0;
    if (opening == Opening::Comment) {
        checker.report(line.number, "the title ", title, " is missing before the comment line");
        return;
    }
    walk.expectComment = true;
    if (opening == Opening::UnknownTitle)
        return; // its count is not trusted
    const TitleForm form = readTitleForm(checker.view(line), section);
    if (!form.exact && form.hasCount)
        checker.report(line.number, "the title line ", QuotedLine{checker.view(line)},
                       " is not of the form ", title);
    else if (!form.exact)
        checker.report(line.number, "the row count of ", title, " is not a decimal number");
    walk.hasCount = form.hasCount;
    walk.count = form.count;
}

// A variable ends within its selector's 64 KiB: the control reaches a segment's bytes with
// 16-bit addresses, so bytes past them are none of the variable's. The end is the address plus
// the type's width; a structure variable, written as a byte, counts only that byte.
void checkSegmentEnd(Checker& checker, const MapRow& row, std::uint32_t line) {
    const int type = static_cast<int>(row.type);
    const std::uint64_t end = std::uint64_t{row.value} + TypeWidths[type];
    if (end <= SegmentBytes)
        return;
    checker.report(line, rowName(checker.map, row), ", a ", TypeNames[type], " at ",
                   hexDigits(row.selector, 4), ":", hexDigits(row.value, 4), ", ends at ",
                   hexDigits(end, 4), ", beyond its segment's 64 KiB");
}

void readRow(Checker& checker, Walk& walk, const Line& line) {
    reportEmptyLines(checker, walk, 0, "an empty line among the rows");
    if (walk.current < 0) {
        checker.report(line.number, "expected ", SectionTitle{0}, ", found ",
                       QuotedLine{checker.view(line)});
        return;
    }
    const MapSection section = static_cast<MapSection>(walk.current);
    ++walk.lineCount;
    if (section == SectionBitFields || section == SectionBitWeights) {
        const std::string_view text = checker.view(line);
        checker.bitNames[section == SectionBitFields ? 0 : 1].push_back(
            BitName{text.substr(0, nameLength(text)), line.number});
    }
    std::vector<MapRow>& rows = checker.map.rows[section];
    MapRow row;
    const bool read = section == SectionSymbols ? readSymbolRow(checker, line, row)
                                                : readNamedRow(checker, line, section, row);
    if (!read)
        return;
    checkOrder(checker, section, row, rows.empty() ? nullptr : &rows.back(), line.number,
               walk.previousLine);
    if (section == SectionSymbols)
        checkSegmentEnd(checker, row, line.number);
    rows.push_back(row);
    walk.previousLine = line.number;
    if (section == SectionBitFields)
        checker.fieldLines.push_back(line.number);
}

// Every line after the header: each section is found by its title wherever it stands (or by
// its comment line when the title is gone), so that a damaged title, a missing or extra empty
// line or a damaged row is a finding on that line alone and the sections after it are read as
// written. A line within a section that is neither a title nor a comment line is one of its
// rows: when it is not of the row format, that is one finding on it.
void readSections(Checker& checker) {
    LineReader& lines = checker.lines;
    Walk walk;
    for (; !lines.atEnd(); lines.advance()) {
        const Line& line = lines.current;
        checker.checkLineEnd(line);
        const std::string_view text = checker.view(line);
        if (line.length == 0) {
            walk.emptyLines.push_back(line.number);
            continue;
        }
        const bool commentLine = text[0] == ';';
        if (walk.expectComment) {
            walk.expectComment = false;
            if (commentLine) {
                reportEmptyLines(checker, walk, 0, "an empty line among the rows");
                if (text != Comments[walk.current])
                    checker.report(line.number, "the comment line is not \"",
                                   Comments[walk.current], "\"");
                continue;
            }
            checker.report(walk.titleLine, "the comment line \"", Comments[walk.current],
                           "\" is missing");
        }
        int section = -1;
        Opening opening = Opening::Comment;
        if (text[0] == '[') {
            section = sectionOfTitle(titleWord(text));
            opening = Opening::Title;
            if (section < 0) {
                section = std::min(walk.next, MapSectionCount - 1);
                opening = Opening::UnknownTitle;
            }
        } else if (commentLine) {
            section = sectionOfComment(text);
            if (section == walk.current)
                section = -1; // a second comment line: a damaged row
        } else if (const int named =
                       lines.nextBeginsWith(';') ? sectionOfTitle(titleWord(text)) : -1;
                   named >= 0) {
            section = named; // a title that lost its "["
            opening = Opening::Title;
        }
        if (section >= 0)
            openSection(checker, walk, section, line, opening);
        else
            readRow(checker, walk, line);
    }
    if (walk.expectComment)
        checker.report(walk.titleLine, "the comment line \"", Comments[walk.current],
                       "\" is missing");
    closeSection(checker, walk);
    if (walk.next < MapSectionCount) {
        checker.report(lines.number, "the file ends before ", SectionTitle{walk.next});
        walk.emptyLines.clear();
    }
    if (!walk.emptyLines.empty())
        checker.report(walk.emptyLines.front(), "text after the last row");
}

// The two bit sections list the same bits in the same order. A row that only one section has,
// and two rows in the other order, are each one finding, not one for every row after them.
void checkBitSections(Checker& checker) {
    const std::vector<BitName>& fields = checker.bitNames[0];
    const std::vector<BitName>& weights = checker.bitNames[1];
    const auto at = [](const std::vector<BitName>& rows, std::size_t i) {
        return i < rows.size() ? rows[i].name : std::string_view("\n"); // no name is "\n"
    };
    const auto missing = [&](const BitName& row, const char* section) {
        checker.report(row.line, "the bit ", row.name, " has no row in the ", section, " section");
    };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < fields.size() || j < weights.size()) {
        if (at(fields, i) == at(weights, j)) {
            ++i;
            ++j;
        } else if (at(fields, i) == at(weights, j + 1) && at(fields, i + 1) == at(weights, j)) {
            checker.report(weights[j].line, "the bit-weights rows of lines ", weights[j].line,
                           " and ", weights[j + 1].line,
                           " are in the other order than in the bit-fields section");
            i += 2;
            j += 2;
        } else if (j < weights.size() &&
                   (i == fields.size() || at(fields, i) == at(weights, j + 1))) {
            missing(weights[j++], "bit-fields");
        } else if (i < fields.size() &&
                   (j == weights.size() || at(fields, i + 1) == at(weights, j))) {
            missing(fields[i++], "bit-weights");
        } else {
            checker.report(weights[j].line, "the bit-weights row names ", weights[j].name,
                           " where the bit-fields row of line ", fields[i].line, " names ",
                           fields[i].name);
            ++i;
            ++j;
        }
    }
}

bool nameLess(const SymbolMap& map, const MapRow& a, const MapRow& b) {
    return compareNames(rowName(map, a), rowName(map, b)) < 0;
}

// Every bit's location is a variable of the symbol table (sorted by now).
void checkLocations(Checker& checker) {
    const SymbolMap& map = checker.map;
    const std::vector<MapRow>& variables = map.rows[SectionSymbols];
    const std::vector<MapRow>& fields = map.rows[SectionBitFields];
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view location = rowLocation(map, fields[i]);
        const auto found = std::lower_bound(variables.begin(), variables.end(), location,
                                            [&](const MapRow& row, std::string_view key) {
                                                return compareNames(rowName(map, row), key) < 0;
                                            });
        if (found == variables.end() || compareNames(rowName(map, *found), location) != 0)
            checker.report(checker.fieldLines[i], "the location ", location, " of the bit ",
                           rowName(map, fields[i]), " is no variable of the symbol table");
    }
}

// True when no line of the file ends in CR LF and at least one ends in LF: a map saved with
// LF line ends throughout, which is one finding rather than one for every line.
bool endsInLfThroughout(const char* text, std::size_t size) {
    const void* lf = std::memchr(text, '\n', size);
    if (lf == nullptr)
        return false;
    for (std::size_t i = 1; i < size; ++i)
        if (text[i] == '\n' && text[i - 1] == '\r')
            return false;
    return true;
}

void checkMap(SymbolMap& map) {
    LineReader reader;
    reader.text = map.text;
    reader.size = map.size;
    Checker checker{map, reader, {}, {}, false};
    if (map.encoding != MapEncoding::Bytes)
        checker.report(1, "saved as ",
                       map.encoding == MapEncoding::Utf8Mark ? "UTF-8 with a byte-order mark"
                                                             : "UTF-16",
                       ": the control reads bytes; save it as the program wrote it");
    checker.lfThroughout = endsInLfThroughout(map.text, map.size);
    if (checker.lfThroughout)
        checker.report(1, "saved with LF line ends: the control reads CR LF after every line; "
                          "save it as the program wrote it");
    LineReader& lines = checker.lines;
    lines.advance();
    if (checker.view(lines.current) != Header)
        checker.report(1, "the header line is ", QuotedLine{checker.view(lines.current)},
                       ", not \"", Header, "\"");
    if (!lines.atEnd()) {
        checker.checkLineEnd(lines.current);
        lines.advance();
    }
    readSections(checker);
    // Findings name lines in the order of the file; the bit sections are compared before the
    // symbol table is sorted for the location look-up.
    checkBitSections(checker);
    // Look-ups and the comparison take every section in name order; the bit-fields rows are
    // sorted only after their locations were looked up, while they still match their lines.
    const MapSection sortOrder[MapSectionCount] = {SectionSymbols, SectionMembers, SectionConstants,
                                                   SectionBitFields, SectionBitWeights};
    for (MapSection section : sortOrder) {
        if (section == SectionBitFields)
            checkLocations(checker);
        if (!map.ordered[section])
            std::stable_sort(map.rows[section].begin(), map.rows[section].end(),
                             [&](const MapRow& a, const MapRow& b) { return nameLess(map, a, b); });
    }
    // Findings are reported in line order but for the checks after the reading and empty
    // lines, reported once the line after them is read; those on one line keep their order.
    std::stable_sort(map.findings.begin(), map.findings.end(),
                     [](const MapFinding& a, const MapFinding& b) { return a.line < b.line; });
}

} // namespace

int compareNames(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(lowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(lowerAscii(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<std::uint32_t> linesOfRows(const SymbolMap& map,
                                       const std::vector<const MapRow*>& rows) {
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return rows[a]->nameAt < rows[b]->nameAt; });
    std::vector<std::uint32_t> lines(rows.size());
    std::uint32_t line = 1;
    const char* p = map.text;
    for (std::size_t i : order) {
        const char* end = map.text + rows[i]->nameAt;
        while (p < end) {
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            if (lf == nullptr)
                break;
            ++line;
            p = static_cast<const char*>(lf) + 1;
        }
        lines[i] = line;
    }
    return lines;
}

MapEncoding mapEncodingOf(const unsigned char* head, std::size_t size, std::size_t& mark) {
    const auto begins = [&](const char* bytes, std::size_t length) {
        return size >= length && std::memcmp(head, bytes, length) == 0;
    };
    mark = 0;
    if (begins("$MP2 ", 5))
        return MapEncoding::Bytes;
    if (begins("\xEF\xBB\xBF$MP2 ", 8)) {
        mark = 3;
        return MapEncoding::Utf8Mark;
    }
    // UTF-16 with or without its byte-order mark, low byte first or high byte first.
    mark = begins("\xFF\xFE", 2) || begins("\xFE\xFF", 2) ? 2 : 0;
    if (size >= mark + 10 &&
        std::memcmp(head + mark,
                    "$\0M\0P\0"
                    "2\0 \0",
                    10) == 0 &&
        (mark == 0 || head[0] == 0xFF))
        return MapEncoding::Utf16Low;
    if (size >= mark + 10 &&
        std::memcmp(head + mark,
                    "\0$\0M\0P\0"
                    "2\0 ",
                    10) == 0 &&
        (mark == 0 || head[0] == 0xFE))
        return MapEncoding::Utf16High;
    mark = 0;
    return MapEncoding::None;
}

bool looksLikeSymbolMap(const std::string& path) {
    if (platform::existsAsDirectory(path.c_str()))
        return false;
    platform::File file;
    if (!platform::openForReading(path.c_str(), file))
        return false;
    unsigned char head[12] = {};
    std::size_t got = 0;
    std::size_t total = 0;
    bool read = true;
    while (read && total < sizeof head) {
        read = platform::readBytes(file, head + total, sizeof head - total, got);
        if (got == 0)
            break;
        total += got;
    }
    platform::closeFile(file);
    std::size_t mark = 0;
    return read && mapEncodingOf(head, total, mark) != MapEncoding::None;
}

bool readSymbolMap(const std::string& path, SymbolMap& map, std::string& error) {
    map.path = path;
    if (!loadFile(path, map.file, error, MaxMapSize, "File too large for a symbol map: ")) {
        map = SymbolMap{};
        return false;
    }
    const unsigned char* bytes = map.file.view.data;
    const std::size_t size = map.file.view.size;
    std::size_t mark = 0;
    map.encoding = mapEncodingOf(bytes, size, mark);
    if (map.encoding == MapEncoding::Utf16Low || map.encoding == MapEncoding::Utf16High) {
        // The check reads the text as the control would have it: one byte a character, a
        // character beyond 8 bits a "?" (which no row holds).
        const bool low = map.encoding == MapEncoding::Utf16Low;
        map.converted.reserve((size - mark) / 2);
        for (std::size_t i = mark; i + 1 < size; i += 2) {
            const unsigned unit = low ? bytes[i] | bytes[i + 1] << 8 : bytes[i] << 8 | bytes[i + 1];
            map.converted += unit < 0x100 ? static_cast<char>(unit) : '?';
        }
        map.text = map.converted.data();
        map.size = map.converted.size();
    } else {
        map.text = reinterpret_cast<const char*>(bytes) + mark;
        map.size = size - mark;
    }
    if (map.encoding == MapEncoding::None)
        map.encoding = MapEncoding::Bytes; // read as given: the header line says what is wrong
    checkMap(map);
    return true;
}

} // namespace plcinfo
