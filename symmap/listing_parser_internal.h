// Pieces of the listing pass shared by the symbols section and by the structures and
// records sections, and the line-level entry points that the tests drive directly.
#pragma once

#include "scanner.h"
#include "symbol_dictionary.h"

#include <string_view>

namespace symmap {

enum class Section : std::uint8_t {
    SectionNone = 0,
    SectionStructures = 1,
    SectionRecords = 2,
    SectionSymbols = 3,
};

// What earlier lines of the listing leave behind for the later ones.
struct ParseContext {
    Section section = Section::SectionNone;
    SymbolEntry* currentStruct = nullptr; // structure that member lines belong to
    SymbolEntry* currentRecord = nullptr; // record that bit lines belong to
    bool sawSectionHeader = false;        // a whole header row of any of the six sections
};

// The name that begins a section line and its dictionary key.
struct LineHead {
    char name[TokTextLength + 1];
    NameKey key;
};

// Takes the line's first identifier as its name and moves past it.
bool readLineHead(Scanner& scanner, LineHead& head);

// A number column of a table: a number token, or an identifier of hexadecimal digits that
// begins with a letter, with or without one final h ("A000", "A003h", "FFh"), read modulo
// 2^32. False for any other token.
bool numberOf(const Scanner& scanner, std::uint32_t& value);

// Moves past a run of "." punctuation tokens.
bool skipDotLeaders(Scanner& scanner);

// Selector of a data segment that reaches the symbol map, 0 for any other segment.
std::uint32_t segmentSelector(std::string_view segmentName);

// A new entry, or null after message 9 when memory ran out.
SymbolEntry* createEntryOrReport(SymbolDictionary& dictionary, const char* name);
// Stores `entry` under `key`; false after message 9 when memory ran out.
bool storeOrReport(SymbolDictionary& dictionary, const NameKey& key, SymbolEntry* entry);

// One line of the listing, its first token current (neither a line end nor the file end).
bool parseLine(ParseContext& context, Scanner& scanner, SymbolDictionary& dictionary);
bool parseSymbolLine(ParseContext& context, Scanner& scanner, SymbolDictionary& dictionary,
                     const LineHead& head, SymbolEntry* existing);
// Sets `scoped` when "External" or "Public" stands here, and then skips the rest of the line.
bool parseScopeWord(Scanner& scanner, bool& scoped);

bool parseStructureLine(ParseContext& context, Scanner& scanner, SymbolDictionary& dictionary);
bool parseRecordLine(ParseContext& context, Scanner& scanner, SymbolDictionary& dictionary);
// Type code 0 (no type word) to 4 (QWord) of a structure member.
bool parseMemberType(Scanner& scanner, int& typeCode);
// The mask of a bit line (message 31 when it is not a single bit of the low byte).
bool parseBitWeight(Scanner& scanner, std::uint32_t& weight);

} // namespace symmap
