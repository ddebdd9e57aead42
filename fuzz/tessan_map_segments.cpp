// Fuzz target: Tessan's linker-map segment reader alone. Whatever the map holds, an entry it
// did not find keeps the values the table started with.
#include "harness.h"
#include "splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memfs::reset();
    memfs::putFile("KORVEX.map", fuzzsupport::bytesOf(data, size));
    tessan::SegmentTable table;
    tessan::scanMapSegments("KORVEX.map", table);
    fuzzsupport::expectAllReleased();
    for (const tessan::SegmentEntry& entry : table.entries)
        if (!entry.found && (entry.start != 0 || entry.length != 0 || entry.mapLength != 0))
            fuzzsupport::fail("an entry the map does not hold has values");
    return 0;
}
