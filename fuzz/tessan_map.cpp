// Fuzz target: Tessan's linker-map segment reader, in a whole run on the example's executable
// and make-file, so that every segment table it accepts goes on to the range checks and the
// writer.
#include "splitter_project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::runSplitterWith("KORVEX.map", fuzzsupport::bytesOf(data, size));
    return 0;
}
