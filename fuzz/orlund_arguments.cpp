// Fuzz target: Orlund's arguments (the fuzzed bytes split at NUL bytes) over the example's
// seventeen images and end file. No source is ever changed, and no join grows beyond the
// bytes of all its sources together.
#include "joiner.h"
#include "platform.h"
#include "splitter.h"
#include "splitter_project.h"

namespace {

// The example's images as the splitter writes them, and the end file twice: in the images'
// folder and in the current one.
const memfs::Snapshot& project() {
    static const memfs::Snapshot files = [] {
        fuzzsupport::putSplitterProject();
        std::vector<std::string> split = {"Tessan", "images/", "KORVEX.EXE", "KORVEX.map",
                                          "Make.knf"};
        if (fuzzsupport::runWith(tessan::runTessan, split) != 0)
            fuzzsupport::fail("the example's images could not be written");
        memfs::putFile("PLC_ENDP.DAT", fuzzsupport::exampleFile("PLC_ENDP.DAT"));
        memfs::putFile("images/PLC_ENDP.DAT", fuzzsupport::exampleFile("PLC_ENDP.DAT"));
        return memfs::save();
    }();
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const memfs::Snapshot& before = project();
    memfs::restore(before);
    std::vector<std::string> arguments =
        fuzzsupport::splitArguments(fuzzsupport::bytesOf(data, size), 5);
    // The one file the run may write, named as the joiner names it: an existing folder given
    // without its separator is that folder.
    const std::string destination = arguments.size() >= 4
                                        ? platform::outputFolderPrefix(arguments[1]) + arguments[2]
                                        : std::string();
    fuzzsupport::runWith(orlund::runOrlund, arguments);

    fuzzsupport::expectAllReleased();
    fuzzsupport::expectKept(before, {destination});
    std::size_t sources = 0;
    for (const auto& entry : before.files)
        sources += entry.second.size();
    std::string joined;
    if (memfs::getFile(destination, joined) && joined.size() > sources)
        fuzzsupport::fail("the join grew beyond all its sources");
    return 0;
}
