// The last stages of the symbol map builder: the module block check and the .mp2 writer.
#pragma once

#include "symbol_dictionary.h"

namespace symmap {

// Gives MODULE_BLOCK_INIT and MODULE_BLOCK_DONE the kind Mech when they are byte variables;
// reports message 12 or 13 when they have another kind. Always succeeds.
bool checkModuleBlocks(SymbolDictionary& dictionary);

// Writes the .mp2 symbol map of `dictionary` to `path`, replacing an empty file or an earlier
// symbol map there, never the run's listing or map (`listingPath`, `mapPath`, either may be
// null) nor another file (messages 14 and 15, see output_guard.h). Fails with message 1
// (cannot create), 9 (no memory), 11 (write failed or short) or 10 (close).
bool writeSymbolMap(const char* path, const SymbolDictionary& dictionary,
                    const char* listingPath = nullptr, const char* mapPath = nullptr);

// Ascending order of the .mp2 rows: names compared byte by byte with A-Z read as a-z.
bool symbolNameLess(const SymbolEntry* a, const SymbolEntry* b);

} // namespace symmap
