// fuzz_seeds: writes the seed inputs of every fuzz target, one folder per target.
//
//   fuzz_seeds OUTPUT_FOLDER [REAL_DATA_FOLDER]
//
// Seeds come from the bundled example, the hand-written test data and programs written by the
// generator; with a folder of real listings, maps and executables, those of up to 64 KiB join
// the seeds of their readers (they are read in place and never copied into the repository).
#include "plc_generator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string outputFolder;

// The longest listing that fuzz/run.sh lets the fuzzers make (-max_len).
constexpr std::size_t MaxInput = 4096;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    const fs::path folder = fs::path(outputFolder) / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string example(const std::string& name) {
    return readFile(fs::path(EXAMPLES_DIR) / name);
}

std::string testData(const std::string& name) {
    return readFile(fs::path(TEST_DATA_DIR) / name);
}

// The part of a listing that its reader looks at: from its first cross-reference section on,
// cut to the fuzzers' longest input.
std::string listingSections(const std::string& listing) {
    std::size_t from = std::string::npos;
    for (const char* head :
         {"Macros:", "Structures and Unions:", "Records:", "Segments and Groups:", "Symbols:"}) {
        const std::size_t at = listing.find(std::string("\n") + head);
        if (at != std::string::npos && (from == std::string::npos || at < from))
            from = at + 1;
    }
    return from == std::string::npos ? std::string() : listing.substr(from, MaxInput);
}

std::string nulJoined(const std::vector<std::string>& arguments) {
    std::string bytes;
    for (std::size_t i = 0; i < arguments.size(); ++i)
        bytes += (i > 0 ? std::string(1, '\0') : std::string()) + arguments[i];
    return bytes;
}

void symvexSeeds() {
    seed("listing", "example.lst", example("plc.lst"));
    seed("listing", "JLSTUB.lst", testData("symmap/JLSTUB.lst"));
    seed("listing", "JLSTUB_sections.lst", listingSections(testData("symmap/JLSTUB.lst")));
    seed("symvex_map", "example.map", example("KORVEX.map"));
    seed("symvex_map", "handwritten.map", testData("splitter/KORVEX.map"));
    seed("symvex_map", "generated.map", plcgen::buildMap(plcgen::standardProgram()));
    const char* const commandFiles[] = {
        "out/plc.mp2\nplc.lst\nKORVEX.map\n",
        "-w\r\nplc.mp2\r\nplc.lst\r\nKORVEX.map\r\n",
        "plc.lst\nplc.mp2\nKORVEX.map\n",
        "  plc.lst\n\n/w\nplc.lst\nKORVEX.map\nsurplus\n-W\n",
        "out/x.mp2\nplc.lst\n",
        "KORVEX.map\nplc.lst\nKORVEX.map",
    };
    int number = 0;
    for (const char* text : commandFiles)
        seed("symvex_command_file", "args" + std::to_string(++number), text);
}

void tessanSeeds() {
    plcgen::ProgramLayout layout;
    std::string error;
    if (!plcgen::parseDescription(example("KORVEX.plcgen"), layout, error))
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
    seed("tessan_executable", "example.exe", plcgen::buildExecutable(layout));
    for (unsigned paragraphs : {0u, 1u, 2u, 200u}) {
        plcgen::ProgramLayout shape = layout;
        shape.headerParagraphs = static_cast<std::uint16_t>(paragraphs);
        seed("tessan_executable", "header" + std::to_string(paragraphs) + ".exe",
             plcgen::buildExecutable(shape));
    }
    seed("tessan_executable", "truncated.exe", plcgen::buildExecutable(layout).substr(0, 0x2000));

    seed("tessan_map", "example.map", example("KORVEX.map"));
    seed("tessan_map", "handwritten.map", testData("splitter/KORVEX.map"));
    plcgen::ProgramLayout moved = layout;
    plcgen::findSegment(moved, "CODE_UNIT17")->length = 0x24;
    plcgen::findPublic(moved, "??SEC_PROC_DUSR_END")->offset = 0x0100;
    seed("tessan_map", "generated.map", plcgen::buildMap(moved));

    seed("make_comment", "example.knf", example("Make.knf"));
    const char* const makeFiles[] = {
        "# COMMENT \"a quoted text of more than thirty-one characters\"\n",
        "# comment without any quote\r\nnext: line\r\n",
        "# Comment \"open quote to the line end\n",
        "",
        "all: KORVEX.EXE\n# uncommented \"inside\"",
    };
    int number = 0;
    for (const char* text : makeFiles)
        seed("make_comment", "make" + std::to_string(++number), text);
    seed("make_comment", "long", std::string(450, '#') + " Comment \"after a long line\"\n");

    const char* const commandFiles[] = {
        "images/\nKORVEX.EXE\nKORVEX.map\nMake.knf\n",
        "\r\n  images/\r\n/w\r\nKORVEX.EXE\r\nKORVEX.map\r\nMake.knf\r\nfifth\r\n",
        "images/\nKORVEX.EXE\nKORVEX.map\n",
        "-x\nimages/Plc_\nKORVEX.EXE\nKORVEX.map\nMake.knf",
        "\nKORVEX.EXE\nKORVEX.map\nMake.knf\n",
    };
    number = 0;
    for (const char* text : commandFiles)
        seed("tessan_command_file", "args" + std::to_string(++number), text);
}

void orlundSeeds() {
    const std::vector<std::vector<std::string>> lines = {
        {"images/", "JOINED.PLC", "PLC_ENDP.DAT"},
        {"images/", "JOINED.PLC", "images/PLC_ENDP.DAT", "surplus"},
        {"images/", "NO", "missing"},
        {"images/", "Plc_main.bin", "images/PLC_ENDP.DAT"},
        {"images/", "PLC_E003.BIN", "images/PLC_ENDP.DAT"},
        {"images/", "PLC_ENDP.DAT", "images/PLC_ENDP.DAT"},
        {"images/Plc_", "x", "PLC_ENDP.DAT"},
        {"images/"},
    };
    int number = 0;
    for (const auto& line : lines)
        seed("orlund_arguments", "args" + std::to_string(++number), nulJoined(line));
}

// Real files of up to 64 KiB, by their ending, for the readers of their kind.
void realDataSeeds(const std::string& folder) {
    constexpr std::uintmax_t Limit = 64 * 1024;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_regular_file() || it->file_size() > Limit)
            continue;
        std::string ending = it->path().extension().string();
        for (char& c : ending)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        std::string name = fs::relative(it->path(), folder).generic_string();
        for (char& c : name)
            c = c == '/' ? '_' : c;
        const std::string bytes = readFile(it->path());
        if (ending == ".lst") {
            seed("listing", "real_" + name, bytes);
            if (bytes.size() > MaxInput && !listingSections(bytes).empty())
                seed("listing", "real_sections_" + name, listingSections(bytes));
        } else if (ending == ".map") {
            seed("symvex_map", "real_" + name, bytes);
            seed("tessan_map", "real_" + name, bytes);
        } else if (ending == ".exe") {
            seed("tessan_executable", "real_" + name, bytes);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTPUT_FOLDER [REAL_DATA_FOLDER]\n");
        return 2;
    }
    outputFolder = argv[1];
    symvexSeeds();
    tessanSeeds();
    orlundSeeds();
    if (argc == 3 && fs::is_directory(argv[2]))
        realDataSeeds(argv[2]);
    return 0;
}
