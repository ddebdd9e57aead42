#include "harness.h"

#include "plc_generator.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace fuzzsupport {

namespace {

const char* const ImageNames[17] = {
    "Plc_main.bin", "Plc_far0.bin", "Plc_e003.bin", "Plc_e004.bin", "Plc_e005.bin", "Plc_e006.bin",
    "Plc_e007.bin", "Plc_e008.bin", "Plc_e009.bin", "Plc_e010.bin", "Plc_e011.bin", "Plc_e012.bin",
    "Plc_e013.bin", "Plc_e014.bin", "Plc_e015.bin", "Plc_e016.bin", "Plc_e017.bin"};

unsigned word(const std::string& bytes, std::size_t offset) {
    return static_cast<unsigned char>(bytes[offset]) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[offset + 1])) << 8;
}

unsigned byteSum(const std::string& bytes, std::size_t from, std::size_t to) {
    unsigned sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<unsigned char>(bytes[i]);
    return sum & 0xFFFF;
}

} // namespace

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
    for (const char* name : ImageNames) {
        std::string image;
        if (!memfs::getFile(outputPath + name, image))
            fail("an image is missing after a successful run");
        if (image.size() < 32 || word(image, 12) != (image.size() & 0xFFFF) ||
            word(image, 14) != byteSum(image, 8, 14) ||
            word(image, 24) != ((image.size() - 32) & 0xFFFF) ||
            word(image, 26) != byteSum(image, 32, image.size()) || word(image, 28) != 32)
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
