// Fuzz target: Symvex's command file, and the whole run it starts among the example's listing,
// map and an earlier symbol map. Whatever paths it names, no file but a symbol map is replaced.
#include "harness.h"
#include "symvex_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::addFolder("out");
    memfs::putFile("plc.lst", fuzzsupport::exampleFile("plc.lst"));
    memfs::putFile("KORVEX.map", fuzzsupport::exampleFile("KORVEX.map"));
    memfs::putFile("plc.mp2", fuzzsupport::exampleFile("plc.mp2"));
    memfs::putFile("args", fuzzsupport::bytesOf(data, size));
    const memfs::Snapshot before = memfs::save();

    std::vector<std::string> arguments = {"Symvex", "@args"};
    fuzzsupport::runWith(symmap::runSymvex, arguments);

    fuzzsupport::expectAllReleased();
    std::vector<std::string> symbolMaps;
    for (const auto& [path, bytes] : before.files)
        if (bytes.rfind("$MP2 ", 0) == 0)
            symbolMaps.push_back(path);
    fuzzsupport::expectKept(before, symbolMaps);
    return 0;
}
