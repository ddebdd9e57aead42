// Fuzz target: Plcinfo's symbol map reader and check (the fuzzed bytes behind the map's mark
// "$MP2 ", so that every input is read as a map), its summary, and the look-ups of a name and
// of an address.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::putFile("plc.mp2", "$MP2 " + std::string(fuzzsupport::bytesOf(data, size)));
    fuzzsupport::runPlcinfoOn({"plc.mp2"});
    fuzzsupport::runPlcinfoOn({"--json", "plc.mp2"});
    fuzzsupport::runPlcinfoOn({"--find", "*a?", "--at", "30:2", "plc.mp2"});
    fuzzsupport::runPlcinfoOn({"--json", "--find", "?*", "--at", "68:0", "plc.mp2"});
    return 0;
}
