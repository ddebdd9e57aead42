// Fuzz target: Tessan's make-file comment reader, in a whole run on the example's executable
// and map; any make-file that can be read gives the images, and the comment block in
// Plc_main.bin always ends with its zero byte.
#include "splitter_project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (fuzzsupport::runSplitterWith("Make.knf", fuzzsupport::bytesOf(data, size)) != 0)
        fuzzsupport::fail("the example's run failed on a make-file that could be read");
    std::string main;
    memfs::getFile("images/Plc_main.bin", main);
    if (main.size() < 64 || main[63] != '\0')
        fuzzsupport::fail("the comment block does not end with a zero byte");
    return 0;
}
