// Fuzz target: Plcinfo comparing two symbol maps, the fuzzed bytes before and after their
// first NUL byte (each behind the map's mark "$MP2 "), in text and JSON, with every run listed
// and with every class failing the run.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view before;
    std::string_view after;
    fuzzsupport::splitAtNul(fuzzsupport::bytesOf(data, size), before, after);
    memfs::reset();
    memfs::putFile("old.mp2", "$MP2 " + std::string(before));
    memfs::putFile("new.mp2", "$MP2 " + std::string(after));
    fuzzsupport::runPlcinfoOn({"old.mp2", "new.mp2"});
    fuzzsupport::runPlcinfoOn({"--json", "--all", "old.mp2", "new.mp2"});
    fuzzsupport::runPlcinfoOn(
        {"--fail-on", "added,removed,moved,retyped,offset,value", "--all", "new.mp2", "old.mp2"});
    return 0;
}
