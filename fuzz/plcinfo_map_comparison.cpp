// Fuzz target: Plcinfo comparing two symbol maps, the fuzzed bytes before and after their
// first NUL byte (each behind the map's mark "$MP2 "). Each input is taken in one of five
// ways, chosen by its length: the comparison in text, in JSON with every run listed, as a
// page, and in Markdown with every class failing the run; and the old map alone in Markdown
// and as a page. A run reads the maps and formats one report (the pages, the dearest, come
// in two runs of five), and every way comes in turn as the fuzzer lengthens and shortens its
// inputs.
#include "plcinfo_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> ways[] = {
        {"old.mp2", "new.mp2"},
        {"--json", "--all", "old.mp2", "new.mp2"},
        {"--html", "page.html", "old.mp2", "new.mp2"},
        {"--fail-on", "added,removed,moved,retyped,offset,value", "--all", "--markdown", "new.mp2",
         "old.mp2"},
        {"--markdown", "--html", "page.html", "old.mp2"},
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
