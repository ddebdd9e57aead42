// Fuzz target: Tessan's executable loader and image writer: a fuzzed executable under the
// example's map and make-file goes all the way to the seventeen images, which must agree with
// their headers whenever the run succeeds.
#include "splitter_project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::runSplitterWith("KORVEX.EXE", fuzzsupport::bytesOf(data, size));
    return 0;
}
