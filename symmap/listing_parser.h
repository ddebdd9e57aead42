// The listing pass: reads the cross-reference sections of an assembler listing into the
// symbol dictionary.
#pragma once

#include "symbol_dictionary.h"

namespace symmap {

// True when the end of the listing was reached; false when it cannot be opened or read,
// memory ran out, or the reporter asked to stop.
bool readListing(const char* fileName, SymbolDictionary& dictionary);

} // namespace symmap
