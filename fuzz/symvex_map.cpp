// Fuzz target: Symvex's linker-map reader, completing the dictionary of the example's listing,
// then the .mp2 writer.
#include "diagnostics.h"
#include "harness.h"
#include "linker_map_reader.h"
#include "listing_parser.h"
#include "symbol_map_writer.h"

#include <utility>
#include <vector>

namespace {

// The example's listing is read once: its scan would cost more than most maps. The map reader
// and the module block check change fields of existing entries only, so every entry is put
// back as the listing left it before each map.
struct ListingDictionary {
    symmap::SymbolDictionary dictionary;
    std::vector<std::pair<symmap::SymbolEntry*, symmap::SymbolEntry>> asRead;
};

ListingDictionary& listingDictionary() {
    static ListingDictionary* listing = [] {
        auto* read = new ListingDictionary;
        memfs::reset();
        memfs::putFile("plc.lst", fuzzsupport::exampleFile("plc.lst"));
        symmap::resetDiagnostics();
        if (!symmap::readListing("plc.lst", read->dictionary))
            fuzzsupport::fail("the example's listing was not read");
        // The visit hands the entries out as const; they are this dictionary's own.
        read->dictionary.forEach([&](const symmap::SymbolEntry* entry) {
            read->asRead.emplace_back(const_cast<symmap::SymbolEntry*>(entry), *entry);
        });
        return read;
    }();
    for (auto& [entry, copy] : listing->asRead)
        *entry = copy;
    return *listing;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    symmap::SymbolDictionary& dictionary = listingDictionary().dictionary;
    memfs::reset();
    memfs::putFile("plc.lst", fuzzsupport::exampleFile("plc.lst"));
    memfs::putFile("KORVEX.map", fuzzsupport::bytesOf(data, size));
    symmap::resetDiagnostics();
    // Warnings printed in one run of eight, as in the listing's target.
    symmap::setWarningsMode(size % 8 == 0);
    if (symmap::readLinkerMap("KORVEX.map", dictionary)) {
        symmap::checkModuleBlocks(dictionary);
        symmap::writeSymbolMap("plc.mp2", dictionary, "plc.lst", "KORVEX.map");
    }
    fuzzsupport::expectAllReleased();
    return 0;
}
