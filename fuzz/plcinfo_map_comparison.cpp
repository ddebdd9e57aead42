// Fuzz target: Plcinfo comparing two symbol maps, the fuzzed bytes before and after their
// first NUL byte (each behind the map's mark "$MP2 "), in text, JSON and Markdown, with every
// run listed and with every class failing the run; the HTML page of each comparison and of the
// old map alone is written too, so that the page's writer is fuzzed.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view before;
    std::string_view after;
    fuzzsupport::splitAtNul(fuzzsupport::bytesOf(data, size), before, after);
    memfs::reset();
    memfs::putFile("old.mp2", "$MP2 " + std::string(before));
    memfs::putFile("new.mp2", "$MP2 " + std::string(after));
    fuzzsupport::runPlcinfoOn({"--html", "page.html", "old.mp2", "new.mp2"});
    fuzzsupport::runPlcinfoOn({"--json", "--all", "--html", "page.html", "old.mp2", "new.mp2"});
    fuzzsupport::runPlcinfoOn({"--markdown", "--html", "page.html", "old.mp2"});
    fuzzsupport::runPlcinfoOn({"--fail-on", "added,removed,moved,retyped,offset,value", "--all",
                               "--markdown", "new.mp2", "old.mp2"});
    return 0;
}
