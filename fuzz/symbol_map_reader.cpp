// Fuzz target: Plcinfo's symbol map reader and check alone (the fuzzed bytes behind the map's
// mark "$MP2 "). Findings are kept up to their limit, in line order, and counted beyond it.
#include "harness.h"
#include "maps/symbol_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::putFile("plc.mp2", "$MP2 " + std::string(fuzzsupport::bytesOf(data, size)));
    {
        plcinfo::SymbolMap map;
        std::string error;
        if (!plcinfo::readSymbolMap("plc.mp2", map, error))
            fuzzsupport::fail("a symbol map in memory was not read");
        if (map.findings.size() > plcinfo::MaxKeptFindings ||
            map.findingCount < map.findings.size())
            fuzzsupport::fail("the findings kept and counted disagree");
        for (std::size_t i = 1; i < map.findings.size(); ++i)
            if (map.findings[i].line < map.findings[i - 1].line)
                fuzzsupport::fail("the findings are not in line order");
    }
    fuzzsupport::expectAllReleased();
    return 0;
}
