// Fuzz target: Plcinfo on a joined file (the fuzzed bytes), alone in text or against itself in
// JSON, chosen by the input's length.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> ways[] = {
        {"KORVEX.PLC"},
        {"--json", "KORVEX.PLC", "KORVEX.PLC"},
    };
    memfs::reset();
    memfs::putFile("KORVEX.PLC", fuzzsupport::bytesOf(data, size));
    fuzzsupport::runPlcinfoOn(ways[size % std::size(ways)]);
    return 0;
}
