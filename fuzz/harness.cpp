#include "harness.h"

#include "image_files.h"
#include "plc_generator.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

// AddressSanitizer's settings for the fuzz targets: freed memory waits in a quarantine of 8 MB
// before it is handed out again, not the default 256 MB. That is still the memory of hundreds
// of runs, so a use after free within a run, or of what an earlier run left, is still caught;
// but the heap stops growing after those runs, and a run takes its memory from blocks already
// mapped instead of mapping new ones run after run. A block's allocation and release keep
// their ten innermost calls, not thirty: taking and storing those stacks was about a seventh
// of a run of the map comparison target, which allocates for every finding and every row of a
// report, and ten calls still show which stage and which caller a freed block came from.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=8:malloc_context_size=10";
}

namespace fuzzsupport {

const std::string& exampleFile(const std::string& name) {
    static std::map<std::string, std::string> files;
    auto found = files.find(name);
    if (found == files.end()) {
        std::ifstream in(std::string(EXAMPLES_DIR) + "/" + name, std::ios::binary);
        if (!in)
            fail("an example file is missing");
        found = files
                    .emplace(name, std::string(std::istreambuf_iterator<char>(in),
                                               std::istreambuf_iterator<char>()))
                    .first;
    }
    return found->second;
}

const std::string& exampleExecutable() {
    static const std::string exe = [] {
        plcgen::ProgramLayout layout;
        std::string error;
        if (!plcgen::parseDescription(exampleFile("KORVEX.plcgen"), layout, error))
            fail("the example's description cannot be read");
        return plcgen::buildExecutable(layout);
    }();
    return exe;
}

void fail(const char* what) {
    std::fprintf(stderr, "fuzz target check failed: %s\n", what);
    std::fflush(stderr);
    __builtin_trap();
}

void expectAllReleased() {
    if (memfs::openHandles() != 0)
        fail("a file was left open");
    if (memfs::mappedViews() != 0)
        fail("a view was left mapped");
}

void expectKept(const memfs::Snapshot& before, const std::vector<std::string>& mayChange) {
    for (const auto& [path, bytes] : before.files) {
        bool excused = false;
        for (const std::string& output : mayChange)
            excused = excused || output == path;
        std::string now;
        if (!excused && (!memfs::getFile(path, now) || now != bytes))
            fail("an input file was changed");
    }
}

void expectValidImages(const std::string& outputPath) {
    for (const char* name : imagefiles::ImageNames) {
        std::string image;
        if (!memfs::getFile(outputPath + name, image))
            fail("an image is missing after a successful run");
        if (!imagefiles::headerFault(image).empty())
            fail("an image header does not agree with its bytes");
    }
}

std::vector<std::string> splitArguments(std::string_view bytes, std::size_t limit) {
    std::vector<std::string> arguments = {"program"};
    while (arguments.size() <= limit) {
        const std::size_t end = bytes.find('\0');
        arguments.emplace_back(bytes.substr(0, end));
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + 1);
    }
    return arguments;
}

int runWith(int (*entry)(int, char**), std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return entry(static_cast<int>(arguments.size()), argv.data());
}

} // namespace fuzzsupport
