// Line-level entry points of the linker-map pass, for the tests.
#pragma once

#include "scanner.h"
#include "symbol_dictionary.h"

namespace symmap {

inline constexpr int MapKwAbs = 1;

// The map's keyword table: the one word "Abs".
const KeywordTable& mapKeywordTable();

// One map line, its first token current; leaves the scanner at the line's end.
bool parseMapLine(Scanner& scanner, SymbolDictionary& dictionary);

} // namespace symmap
