// Fuzz target: Plcinfo's symbol map reader and check (the fuzzed bytes behind the map's mark
// "$MP2 ", so that every input is read as a map), its summary, and the look-ups of a name and
// of an address. Each input is read in one of four ways, chosen by its length: a run formats
// one report, and every way comes in turn as the fuzzer lengthens and shortens its inputs.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> ways[] = {
        {"plc.mp2"},
        {"--json", "plc.mp2"},
        {"--find", "*a?", "--at", "30:2", "plc.mp2"},
        {"--json", "--find", "?*", "--at", "68:0", "plc.mp2"},
    };
    memfs::reset();
    memfs::putFile("plc.mp2", "$MP2 " + std::string(fuzzsupport::bytesOf(data, size)));
    fuzzsupport::runPlcinfoOn(ways[size % std::size(ways)]);
    return 0;
}
