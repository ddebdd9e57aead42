// Fuzz target: Plcinfo comparing two symbol maps, the fuzzed bytes before and after their
// first NUL byte (each behind the map's mark "$MP2 "), in text, JSON and Markdown, with every
// run listed and with every class failing the run; the HTML page of a comparison and of the
// old map alone is written too, so that the page's writer is fuzzed. Each input is compared in
// one of these four ways, chosen by its length: a run reads two maps and formats one report,
// and every way comes in turn as the fuzzer lengthens and shortens its inputs.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> ways[] = {
        {"--html", "page.html", "old.mp2", "new.mp2"},
        {"--json", "--all", "--html", "page.html", "old.mp2", "new.mp2"},
        {"--markdown", "--html", "page.html", "old.mp2"},
        {"--fail-on", "added,removed,moved,retyped,offset,value", "--all", "--markdown", "new.mp2",
         "old.mp2"},
    };
    std::string_view before;
    std::string_view after;
    fuzzsupport::splitAtNul(fuzzsupport::bytesOf(data, size), before, after);
    memfs::reset();
    memfs::putFile("old.mp2", "$MP2 " + std::string(before));
    memfs::putFile("new.mp2", "$MP2 " + std::string(after));
    fuzzsupport::runPlcinfoOn(ways[size % std::size(ways)]);
    return 0;
}
