// Fuzz target: Plcinfo on a joined file (the fuzzed bytes), alone and against itself.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::putFile("KORVEX.PLC", fuzzsupport::bytesOf(data, size));
    fuzzsupport::runPlcinfoOn({"KORVEX.PLC"});
    fuzzsupport::runPlcinfoOn({"--json", "KORVEX.PLC", "KORVEX.PLC"});
    return 0;
}
