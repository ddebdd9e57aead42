// Fuzz target: Symvex's linker-map reader, completing the dictionary of the example's listing,
// then the module block check and the .mp2 writer.
#include "diagnostics.h"
#include "example_listing.h"
#include "harness.h"
#include "linker_map_reader.h"
#include "listing_parser.h"
#include "symbol_map_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    symmap::SymbolDictionary& dictionary = fuzzsupport::exampleListingDictionary();
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
