// Fuzz target: Symvex's listing scanner and parser alone (sections, symbols, structures and
// records into the dictionary), its warnings counted but not printed.
#include "diagnostics.h"
#include "harness.h"
#include "listing_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::putFile("plc.lst", fuzzsupport::bytesOf(data, size));
    symmap::resetDiagnostics();
    symmap::setWarningsMode(false);
    {
        symmap::SymbolDictionary dictionary;
        symmap::readListing("plc.lst", dictionary);
    }
    fuzzsupport::expectAllReleased();
    return 0;
}
