// Fuzz target: Symvex's linker-map reader alone, completing the dictionary of the example's
// listing, its warnings counted but not printed.
#include "diagnostics.h"
#include "example_listing.h"
#include "harness.h"
#include "linker_map_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    symmap::SymbolDictionary& dictionary = fuzzsupport::exampleListingDictionary();
    memfs::reset();
    memfs::putFile("KORVEX.map", fuzzsupport::bytesOf(data, size));
    symmap::resetDiagnostics();
    symmap::setWarningsMode(false);
    symmap::readLinkerMap("KORVEX.map", dictionary);
    fuzzsupport::expectAllReleased();
    return 0;
}
