// fuzz_seeds: writes the seed inputs of every fuzz target, one folder per target.
//
//   fuzz_seeds OUTPUT_FOLDER [REAL_DATA_FOLDER]
//
// Seeds come from the bundled example, the hand-written test data and programs written by the
// generator (maps, images and joined files of the inspector's targets made by the programs
// themselves); with a folder of real listings, maps and executables, those of up to 64 KiB join
// the seeds of their readers (they are read in place and never copied into the repository).
#include "joiner.h"
#include "plc_generator.h"
#include "plc_listing.h"
#include "splitter.h"
#include "symvex_driver.h"

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

// Runs a program's entry on real files, as from its command line.
int run(int (*entry)(int, char**), std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return entry(static_cast<int>(arguments.size()), argv.data());
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The map Symvex writes of the project's listing (with an empty linker map).
std::string generatedMap(const fs::path& work, const plcgen::ListingProject& project) {
    writeBytes(work / "gen.lst", plcgen::buildListing(project));
    writeBytes(work / "empty.map", "");
    run(symmap::runSymvex, {"Symvex", (work / "gen.mp2").string(), (work / "gen.lst").string(),
                            (work / "empty.map").string()});
    return readFile(work / "gen.mp2");
}

// A map as the map targets take it: without the mark "$MP2 " that they put in front.
std::string unmarked(const std::string& map) {
    return map.substr(map.size() < 5 ? map.size() : 5);
}

// The images of the example, split and joined by Tessan and Orlund, for the image targets: the
// folder target's chunks (16-bit length, bytes) and the joined file.
void imageSeeds(const fs::path& work) {
    plcgen::ProgramLayout layout;
    std::string error;
    if (!plcgen::parseDescription(example("KORVEX.plcgen"), layout, error))
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
    const std::string folder = (work / "images").string() + "/";
    fs::create_directories(work / "images");
    plcgen::writeProgram(layout, (work / "KORVEX.EXE").string(), (work / "KORVEX.map").string(),
                         (work / "Make.knf").string(), error);
    writeBytes(work / "PLC_ENDP.DAT", example("PLC_ENDP.DAT"));
    run(tessan::runTessan, {"Tessan", folder, (work / "KORVEX.EXE").string(),
                            (work / "KORVEX.map").string(), (work / "Make.knf").string()});
    run(orlund::runOrlund, {"Orlund", folder, "KORVEX.PLC", (work / "PLC_ENDP.DAT").string()});
    const std::string joined = readFile(work / "images" / "KORVEX.PLC");
    seed("plcinfo_joined", "example.PLC", joined);
    seed("plcinfo_joined", "cut.PLC", joined.substr(0, joined.size() / 2));
    static const char* const Names[] = {"Plc_main.bin", "Plc_far0.bin"};
    std::string chunks;
    std::string missingOne;
    for (int i = 0; i < 17; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Plc_e%03d.bin", i + 1);
        const std::string image = readFile(work / "images" / (i < 2 ? Names[i] : name));
        seed("image_header", i < 2 ? Names[i] : name, image);
        const std::string length = {static_cast<char>(image.size() & 0xFF),
                                    static_cast<char>(image.size() >> 8 & 0xFF)};
        chunks += length + image;
        missingOne += i == 5 ? std::string("\xFF\xFF") : length + image;
    }
    seed("plcinfo_folder", "example", chunks);
    seed("plcinfo_folder", "missing_one", missingOne);
    seed("image_header", "header_only", readFile(work / "images" / Names[0]).substr(0, 32));
}

void plcinfoSeeds() {
    const fs::path work = fs::path(outputFolder) / "work";
    fs::create_directories(work);
    const std::string exampleMap = example("plc.mp2");
    seed("plcinfo_map", "example.mp2", unmarked(exampleMap));
    seed("plcinfo_map", "JLSTUB.mp2", unmarked(testData("symmap/JLSTUB.mp2")));
    seed("plcinfo_map", "snake.mp2", unmarked(testData("symmap/snake.mp2")));
    std::string lineFeeds;
    for (char c : exampleMap)
        if (c != '\r')
            lineFeeds += c;
    seed("plcinfo_map", "line_feeds.mp2", unmarked(lineFeeds));
    seed("plcinfo_map", "cut.mp2", unmarked(exampleMap.substr(0, exampleMap.size() * 2 / 3)));

    plcgen::ListingProject project = plcgen::standardListingProject(48);
    const std::string before = generatedMap(work, project);
    seed("plcinfo_map", "generated.mp2", unmarked(before));
    project.variables.insert(project.variables.begin() + 5, {"NEW_WORD", "Word", "DATA1", 0});
    project.variables.erase(project.variables.begin() + 20);
    project.variables[30].type = "DWord";
    project.records[0].bits[1].shift = 6;
    project.structures[0].members[1].offset = 5;
    project.constants[0].value = 9;
    plcgen::layOutVariables(project);
    const std::string after = generatedMap(work, project);
    seed("plcinfo_map_comparison", "generated", unmarked(before) + '\0' + unmarked(after));
    seed("plcinfo_map_comparison", "example_itself",
         unmarked(exampleMap) + '\0' + unmarked(exampleMap));
    seed("plcinfo_map_comparison", "example_line_feeds",
         unmarked(exampleMap) + '\0' + unmarked(lineFeeds));

    imageSeeds(work);
    fs::remove_all(work);
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

// A single-stage target reads what a whole-program target feeds its reader: it starts from
// that target's seeds.
void sharedSeeds() {
    static const char* const Shared[][2] = {
        {"listing", "listing_reader"},
        {"symvex_map", "symvex_map_reader"},
        {"tessan_map", "tessan_map_segments"},
        {"make_comment", "make_file_reader"},
        {"tessan_executable", "executable_ranges"},
        {"plcinfo_map", "symbol_map_reader"},
        {"plcinfo_joined", "joined_file_reader"},
    };
    for (const auto& [from, to] : Shared) {
        const fs::path folder = fs::path(outputFolder) / to;
        fs::create_directories(folder);
        for (const auto& file : fs::directory_iterator(fs::path(outputFolder) / from))
            fs::copy_file(file.path(), folder / file.path().filename(),
                          fs::copy_options::overwrite_existing);
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
    plcinfoSeeds();
    if (argc == 3 && fs::is_directory(argv[2]))
        realDataSeeds(argv[2]);
    sharedSeeds();
    return 0;
}
