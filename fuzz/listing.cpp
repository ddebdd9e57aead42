// Fuzz target: Symvex's listing reader (scanner, sections, symbols, structures and records),
// then the module block check and the .mp2 writer on whatever it read.
#include "diagnostics.h"
#include "harness.h"
#include "listing_parser.h"
#include "symbol_map_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::putFile("plc.lst", fuzzsupport::bytesOf(data, size));
    symmap::resetDiagnostics();
    // Warnings are counted in every run but printed in one run of eight (by the input's
    // length): printed into the closed standard output they were a fifth of a run, and the
    // runs that print them keep the printing under the sanitizers.
    symmap::setWarningsMode(size % 8 == 0);
    {
        symmap::SymbolDictionary dictionary;
        if (symmap::readListing("plc.lst", dictionary)) {
            symmap::checkModuleBlocks(dictionary);
            std::string mp2;
            if (symmap::writeSymbolMap("plc.mp2", dictionary, "plc.lst", nullptr) &&
                (!memfs::getFile("plc.mp2", mp2) || mp2.rfind("$MP2 02\r\n", 0) != 0))
                fuzzsupport::fail("a written symbol map does not begin with its header");
        }
    }
    fuzzsupport::expectAllReleased();
    return 0;
}
