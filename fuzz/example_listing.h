// The dictionary of the example's listing, for the fuzz targets of Symvex's linker-map reader.
#pragma once

#include "symbol_dictionary.h"

namespace fuzzsupport {

// The example's listing is read once: its scan would cost more than most maps. The map reader
// and the module block check change fields of existing entries only, so every entry is put
// back as the listing left it each time the dictionary is asked for.
symmap::SymbolDictionary& exampleListingDictionary();

} // namespace fuzzsupport
