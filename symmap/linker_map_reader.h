// The linker-map pass: completes public addresses and absolute constant values.
#pragma once

#include "symbol_dictionary.h"

namespace symmap {

// True when the end of the map was reached; false when it cannot be opened or read, or the
// reporter asked to stop.
bool readLinkerMap(const char* fileName, SymbolDictionary& dictionary);

} // namespace symmap
