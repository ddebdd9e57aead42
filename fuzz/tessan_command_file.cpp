// Fuzz target: Tessan's command file, and the whole run it starts among the example's
// executable, map and make-file. No input is ever changed.
#include "splitter.h"
#include "splitter_project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::putSplitterProject();
    memfs::putFile("args", fuzzsupport::bytesOf(data, size));
    const memfs::Snapshot before = memfs::save();

    std::vector<std::string> arguments = {"Tessan", "@args"};
    fuzzsupport::runWith(tessan::runTessan, arguments);

    fuzzsupport::expectAllReleased();
    fuzzsupport::expectKept(before);
    return 0;
}
