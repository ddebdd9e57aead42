// Reads the seventeen code segments and the three ??SEC_PROC_ publics from the linker map.
#include "splitter.h"
#include "text_lines.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tessan {

namespace {

// Each map read takes at most this many characters; a longer line comes as several pieces.
constexpr std::size_t MapPieceChars = 399;

struct EntryText {
    const char* key;
    const char* name;
    const char* fileName;
};

// Segment keys need a blank on both sides; symbol keys only in front, so that they also
// select a longer public that begins with the same text.
constexpr EntryText EntryTexts[SegmentEntryCount] = {
    {" CODE4 ", "CODE4", "Plc_main.bin"},
    {" CODE5 ", "CODE5", "Plc_far0.bin"},
    {" CODE_UNIT03 ", "CODE_UNIT03", "Plc_e003.bin"},
    {" CODE_UNIT04 ", "CODE_UNIT04", "Plc_e004.bin"},
    {" CODE_UNIT05 ", "CODE_UNIT05", "Plc_e005.bin"},
    {" CODE_UNIT06 ", "CODE_UNIT06", "Plc_e006.bin"},
    {" CODE_UNIT07 ", "CODE_UNIT07", "Plc_e007.bin"},
    {" CODE_UNIT08 ", "CODE_UNIT08", "Plc_e008.bin"},
    {" CODE_UNIT09 ", "CODE_UNIT09", "Plc_e009.bin"},
    {" CODE_UNIT10 ", "CODE_UNIT10", "Plc_e010.bin"},
    {" CODE_UNIT11 ", "CODE_UNIT11", "Plc_e011.bin"},
    {" CODE_UNIT12 ", "CODE_UNIT12", "Plc_e012.bin"},
    {" CODE_UNIT13 ", "CODE_UNIT13", "Plc_e013.bin"},
    {" CODE_UNIT14 ", "CODE_UNIT14", "Plc_e014.bin"},
    {" CODE_UNIT15 ", "CODE_UNIT15", "Plc_e015.bin"},
    {" CODE_UNIT16 ", "CODE_UNIT16", "Plc_e016.bin"},
    {" CODE_UNIT17 ", "CODE_UNIT17", "Plc_e017.bin"},
    {" ??SEC_PROC_DUSR_LOAD", "??SEC_PROC_DUSR_LOAD", ""},
    {" ??SEC_PROC_DUSR_END", "??SEC_PROC_DUSR_END", ""},
    {" ??SEC_PROC_FAR_END", "??SEC_PROC_FAR_END", ""},
};

// Every key is a blank and then one of these leads: a line is searched for the leads, and the
// keys are tried only where one stands after a blank.
constexpr std::string_view KeyLeads[] = {"CODE", "??SEC_PROC_"};

constexpr bool everyKeyBeginsWithALead() {
    for (const EntryText& entry : EntryTexts) {
        const std::string_view key(entry.key);
        bool led = false;
        for (const std::string_view lead : KeyLeads)
            led = led ||
                  (key.size() > lead.size() && key[0] == ' ' && key.substr(1, lead.size()) == lead);
        if (!led)
            return false;
    }
    return true;
}
static_assert(everyKeyBeginsWithALead(), "a key that no lead begins would never be tried");
static_assert(SegmentEntryCount <= 32, "the keys a line holds are kept as bits of 32");

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Converts the field of `width` characters at `first` of the packed line; the conversion stops
// at the first character that is not a hexadecimal digit and at the end of a short line.
std::uint32_t hexField(const char* packed, std::size_t packedLength, std::size_t first,
                       std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = first; i < first + width && i < packedLength; ++i) {
        const int digit = hexDigit(packed[i]);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

// Whether the key stands in the line at `from`, compared from its end, where the keys differ.
bool keyStandsAt(const char* key, std::size_t keyLength, const char* line, std::size_t length,
                 std::size_t from) {
    if (keyLength > length - from)
        return false;
    std::size_t k = keyLength;
    while (k > 0 && line[from + k - 1] == key[k - 1])
        --k;
    return k == 0;
}

} // namespace

void initSegmentTable(SegmentTable& table) {
    for (int i = 0; i < SegmentEntryCount; ++i) {
        SegmentEntry& entry = table.entries[i];
        entry = SegmentEntry{};
        entry.key = EntryTexts[i].key;
        entry.keyLength = std::strlen(entry.key);
        entry.name = EntryTexts[i].name;
        entry.fileName = EntryTexts[i].fileName;
    }
}

int takeMapLine(SegmentTable& table, const char* line, std::size_t length) {
    // The first entry whose key the line holds anywhere is selected. The keys are tried only
    // where one of their leads stands after a blank (see KeyLeads): the search looks for the
    // leads' first letters, rare in a map line, where blanks are many.
    const std::string_view text(line, length);
    std::uint32_t held = 0;
    for (const std::string_view lead : KeyLeads)
        for (std::size_t at = text.find(lead); at != std::string_view::npos;
             at = text.find(lead, at + 1)) {
            if (at == 0 || line[at - 1] != ' ')
                continue;
            for (int i = 0; i < SegmentEntryCount; ++i)
                if (keyStandsAt(table.entries[i].key, table.entries[i].keyLength, line, length,
                                at - 1))
                    held |= std::uint32_t{1} << i;
        }
    if (held == 0)
        return -1;
    const int selected = std::countr_zero(held);

    // The fields lie at fixed positions once every blank and tab is gone; only the first 18
    // characters of the packed line are ever looked at.
    char packed[18];
    std::size_t packedLength = 0;
    for (std::size_t i = 0; i < length && packedLength < sizeof packed; ++i)
        if (line[i] != ' ' && line[i] != '\t')
            packed[packedLength++] = line[i];

    SegmentEntry& entry = table.entries[selected];
    if (selected < CodeSegmentCount) {
        entry.start = hexField(packed, packedLength, 0, 5);
        entry.mapLength = hexField(packed, packedLength, 12, 5);
        entry.length = entry.mapLength - 4;
    } else if (selected == EntryFarEnd) {
        entry.start = hexField(packed, packedLength, 5, 4);
    } else {
        entry.start =
            hexField(packed, packedLength, 0, 4) * 16 + hexField(packed, packedLength, 5, 4);
    }
    entry.found = true;
    return selected;
}

bool scanMapSegments(const char* mapPath, SegmentTable& table) {
    initSegmentTable(table);
    platform::File file;
    if (!platform::openForReading(mapPath, file)) {
        printMessage("\nError: 9, File open error: %s\n", mapPath);
        return false;
    }
    TextReader reader;
    startTextReader(reader, file);
    char piece[MapPieceChars + 1];
    std::size_t length = 0;
    int foundCount = 0;
    for (;;) {
        const PieceResult result = readPiece(reader, piece, MapPieceChars, length);
        if (result == PieceResult::ReadError) {
            platform::closeFile(file);
            printMessage("\nError: 22, File read error: %s\n", mapPath);
            return false;
        }
        if (result == PieceResult::End)
            break;
        const int selected = takeMapLine(table, piece, length);
        if (selected < 0)
            continue;
        // Count each entry once: a later line for the same entry only overwrites its value.
        foundCount = 0;
        for (const SegmentEntry& entry : table.entries)
            foundCount += entry.found ? 1 : 0;
        if (foundCount == SegmentEntryCount) {
            platform::closeFile(file);
            return true;
        }
    }
    platform::closeFile(file);
    printMessage("\nError: 10, Syntax error in MAP-file\n");
    return false;
}

} // namespace tessan
