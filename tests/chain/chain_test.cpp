// The whole tool chain end to end: Symvex, Tessan and Orlund run one after the other, as a
// PLC build runs them after the linker, on the bundled example and on generated projects;
// Plcinfo then verifies what they made.
#include "image_files.h"
#include "plc_generator.h"
#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;

namespace {

using imagefiles::ImageNames;

const std::string ExamplesDir = EXAMPLES_DIR;

// Runs the splitter and the joiner on a project in `dir` (KORVEX.EXE, KORVEX.map, Make.knf,
// PLC_ENDP.DAT), checks every image and the joined file, and returns the images in order.
std::vector<std::string> splitAndJoin(const std::string& dir, unsigned expectedFarEnd) {
    const std::string images = dir + "/images/";
    std::vector<std::string> result;
    testsupport::RunResult split = runProgram(
        TESSAN_PATH, {images, dir + "/KORVEX.EXE", dir + "/KORVEX.map", dir + "/Make.knf"});
    EXPECT_EQ(split.exitStatus, 0) << split.output;
    EXPECT_NE(split.output.find("      0 errors\n"), std::string::npos) << split.output;

    testsupport::RunResult join =
        runProgram(ORLUND_PATH, {images, "JOINED.PLC", dir + "/PLC_ENDP.DAT"});
    EXPECT_EQ(join.exitStatus, 0) << join.output;
    EXPECT_EQ(join.output.find("Error"), std::string::npos) << join.output;

    std::string concatenation;
    for (const char* name : ImageNames) {
        result.push_back(readFile(images + name));
        EXPECT_EQ(imagefiles::headerFault(result.back()), "") << name;
        EXPECT_EQ(imagefiles::farEndOf(result.back()), expectedFarEnd) << name;
        concatenation += result.back();
    }
    concatenation += readFile(dir + "/PLC_ENDP.DAT");
    EXPECT_EQ(readFile(images + "JOINED.PLC"), concatenation);
    // The inspector finds every check holding, in the folder and in the joined file.
    for (const std::string& path : {images, images + "JOINED.PLC"}) {
        const testsupport::RunResult inspect = runProgram(PLCINFO_PATH, {path});
        EXPECT_EQ(inspect.exitStatus, 0) << inspect.output;
    }
    return result;
}

void writeProject(const plcgen::ProgramLayout& layout, const std::string& dir) {
    testsupport::writeProject(layout, dir);
    testsupport::writeFile(dir + "/PLC_ENDP.DAT", std::string("\x01\x02\0end", 6));
    std::filesystem::create_directory(dir + "/images");
}

TEST(Chain, ExampleProjectRunsThroughAllThreePrograms) {
    TempDir dir;
    plcgen::ProgramLayout layout;
    std::string error;
    ASSERT_TRUE(plcgen::parseDescription(readFile(ExamplesDir + "/KORVEX.plcgen"), layout, error))
        << error;
    ASSERT_TRUE(plcgen::writeProgram(layout, dir.file("KORVEX.EXE"), "", "", error)) << error;
    for (const char* name : {"KORVEX.map", "Make.knf", "PLC_ENDP.DAT"})
        testsupport::writeFile(dir.file(name), readFile(ExamplesDir + "/" + name));
    std::filesystem::create_directory(dir.file("images"));

    testsupport::RunResult symbols = runProgram(
        SYMVEX_PATH, {dir.file("plc.mp2"), ExamplesDir + "/plc.lst", dir.file("KORVEX.map")});
    EXPECT_EQ(symbols.exitStatus, 0) << symbols.output;
    EXPECT_EQ(readFile(dir.file("plc.mp2")), readFile(ExamplesDir + "/plc.mp2"));

    const std::vector<std::string> images = splitAndJoin(dir.path(), 0x19F0);
    // The example's make-file comment reaches the main image, blank-filled to 31 characters.
    ASSERT_GE(images[0].size(), 64u);
    EXPECT_EQ(images[0].substr(32, 32), std::string("Line 7 press") + std::string(19, ' ') + '\0');
    // Every image byte for byte as worked out from the example's description alone, so that
    // the builds for every system give the same files.
    const auto expected = imagefiles::expectedImages(layout, readFile(dir.file("KORVEX.EXE")),
                                                     imagefiles::commentBlock("Line 7 press"));
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(images[i], expected[i].second) << expected[i].first;
}

// What main's "return -1" gives as the exit status a parent sees: its low eight bits on POSIX,
// the whole 32-bit exit code on Windows.
#ifdef _WIN32
const std::int64_t MinusOneStatus = 4294967295;
#else
const std::int64_t MinusOneStatus = 255;
#endif

#ifdef _WIN32
// Each line feed a program prints as it reaches a pipe: on Windows standard output is the C
// runtime's text stream, also for the line feed of a message's own "\r\n".
std::string asPrinted(const std::string& text) {
    std::string printed;
    for (char c : text)
        printed += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return printed;
}
#endif

TEST(Chain, StandardOutputIsTheSystemsTextStreamAndFailureIsMinusOne) {
    TempDir dir;
    const testsupport::RunResult symbols = runProgram(
        SYMVEX_PATH, {dir.file("plc.mp2"), ExamplesDir + "/plc.lst", ExamplesDir + "/KORVEX.map"});
    EXPECT_EQ(symbols.exitStatus, 0);
    EXPECT_EQ(symbols.output, "Map creator for Zelvar, version 1.0\nPLC post-link tool chain\n\n"
                              "\t3 warnings; /w lists them\r\n\t0 errors\r\n\r\n");
#ifdef _WIN32
    // The bytes as they reach the pipe. (On POSIX the harness reads nothing but these bytes,
    // so rawOutput is output there and the comparison only means something on Windows.)
    EXPECT_EQ(symbols.rawOutput, "Map creator for Zelvar, version 1.0\r\nPLC post-link tool "
                                 "chain\r\n\r\n\t3 warnings; /w lists them\r\r\n"
                                 "\t0 errors\r\r\n\r\r\n");
#endif
    // The .mp2 file is written in binary: its own CR LF line ends stay as they are.
    EXPECT_EQ(readFile(dir.file("plc.mp2")), readFile(ExamplesDir + "/plc.mp2"));

    for (const char* program : {TESSAN_PATH, ORLUND_PATH, SYMVEX_PATH}) {
        const testsupport::RunResult usage = runProgram(program, {});
        EXPECT_EQ(usage.exitStatus, MinusOneStatus) << program;
        EXPECT_NE(usage.output.find("\nSyntax"), std::string::npos) << program;
#ifdef _WIN32
        EXPECT_EQ(usage.rawOutput, asPrinted(usage.output)) << program;
#endif
    }
}

// The words of the command lines under the "Example:" or "Examples:" line of a help text.
std::vector<std::vector<std::string>> helpExamples(const std::string& help) {
    std::vector<std::vector<std::string>> commands;
    std::size_t pos = help.find("\nExample");
    pos = pos == std::string::npos ? pos : help.find('\n', pos + 1);
    while (pos != std::string::npos && help.compare(pos + 1, 2, "  ") == 0) {
        const std::size_t end = help.find('\n', pos + 1);
        std::vector<std::string> words;
        std::string line = help.substr(pos + 3, end - pos - 3);
        for (std::size_t at = 0; at != std::string::npos;) {
            const std::size_t blank = line.find(' ', at);
            words.push_back(line.substr(at, blank == std::string::npos ? blank : blank - at));
            at = blank == std::string::npos ? blank : blank + 1;
        }
        commands.push_back(words);
        pos = end;
    }
    return commands;
}

// A sole -h or --help prints the banner and the help, a sole --version the banner and the one
// version of the tool chain; both exit with 0. The examples of the helps, run as they stand in
// a folder holding the example project, make the example's symbol map and joined file. Beside
// other arguments, or in a command file, the words keep their old meaning.
TEST(Chain, HelpAndVersionOfEveryProgram) {
    struct Program {
        const char* path;
        std::string name;
        std::string usage; // the first line of the help: the arguments in their real order
    };
    const Program programs[] = {
        {SYMVEX_PATH, "Symvex", "Usage: Symvex [-w] FileMP2 FileLST FileMAP\n"},
        {TESSAN_PATH, "Tessan", "Usage: Tessan [-w] PathOutput KORVEX.EXE FileMAP Make.knf\n"},
        {ORLUND_PATH, "Orlund", "Usage: Orlund PathOutput DestFile PLC_ENDP\n"},
        {PLCINFO_PATH, "Plcinfo", "Syntax: Plcinfo [FORM] (images folder or joined file)\n"},
    };
    TempDir dir;
    std::filesystem::create_directories(dir.file("examples"));
    std::filesystem::create_directories(dir.file("out/images"));
    std::filesystem::create_directories(dir.file("released"));
    for (const char* name : {"plc.lst", "KORVEX.map", "Make.knf", "PLC_ENDP.DAT"})
        testsupport::writeFile(dir.file("examples/") + name, readFile(ExamplesDir + "/" + name));
    testsupport::writeFile(dir.file("released/plc.mp2"), readFile(ExamplesDir + "/plc.mp2"));
    plcgen::ProgramLayout layout;
    std::string error;
    ASSERT_TRUE(plcgen::parseDescription(readFile(ExamplesDir + "/KORVEX.plcgen"), layout, error));
    ASSERT_TRUE(plcgen::writeProgram(layout, dir.file("examples/KORVEX.EXE"), "", "", error))
        << error;

    for (const Program& program : programs) {
        const testsupport::RunResult help = runProgram(program.path, {"--help"});
        EXPECT_EQ(help.exitStatus, 0) << program.name;
        const std::size_t usage = help.output.find(program.usage);
        ASSERT_NE(usage, std::string::npos) << help.output;
        const std::string banner = help.output.substr(0, usage);
        EXPECT_EQ(runProgram(program.path, {"-h"}).output, help.output);

        const testsupport::RunResult version = runProgram(program.path, {"--version"});
        EXPECT_EQ(version.exitStatus, 0) << program.name;
        EXPECT_EQ(version.output,
                  banner + program.name + " (PlcPostLink) " PLC_PACKAGE_VERSION "\n")
            << program.name;

        const auto examples = helpExamples(help.output);
        EXPECT_FALSE(examples.empty()) << help.output;
        for (const auto& words : examples) {
            ASSERT_EQ(words[0], program.name);
            const std::vector<std::string> args(words.begin() + 1, words.end());
            const testsupport::RunResult run = runProgram(program.path, args, dir.path());
            EXPECT_EQ(run.exitStatus, 0) << run.output;
        }
    }
    EXPECT_EQ(readFile(dir.file("out/plc.mp2")), readFile(ExamplesDir + "/plc.mp2"));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("out/images/KORVEX.PLC")));

    // Beside another argument a help word is what it always was: a bad switch, a path.
    const testsupport::RunResult symvex = runProgram(SYMVEX_PATH, {"--help", "a", "b", "c"});
    EXPECT_NE(symvex.output.find("error SV0002: Invalid command-line option. : --help\n"),
              std::string::npos);
    EXPECT_EQ(symvex.exitStatus, MinusOneStatus);
    const testsupport::RunResult tessan = runProgram(TESSAN_PATH, {"--version", "x"});
    EXPECT_NE(tessan.output.find("\nError: 7, Error in command line (debug)\n"), std::string::npos);
    EXPECT_EQ(tessan.exitStatus, MinusOneStatus);
    const testsupport::RunResult orlund = runProgram(ORLUND_PATH, {"-h", "NO", "x"});
    EXPECT_EQ(orlund.exitStatus, 0); // "-h" is the output path, and "NO" joins nothing
    // In a command file too.
    testsupport::writeFile(dir.file("args.txt"), "--help\n");
    const testsupport::RunResult file = runProgram(SYMVEX_PATH, {"@args.txt"}, dir.path());
    EXPECT_NE(file.output.find("error SV0005: Invalid command-file option. : --help\n"),
              std::string::npos);
    EXPECT_EQ(file.exitStatus, MinusOneStatus);
    // "/?" asks for the help where a slash begins every switch; on POSIX it is a path.
    const testsupport::RunResult query = runProgram(SYMVEX_PATH, {"/?"});
#ifdef _WIN32
    EXPECT_EQ(query.exitStatus, 0);
    EXPECT_NE(query.output.find(programs[0].usage), std::string::npos);
#else
    EXPECT_EQ(query.exitStatus, MinusOneStatus);
    EXPECT_NE(query.output.find("Too few command-line parameters."), std::string::npos);
#endif
}

#ifdef _WIN32
std::string withBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The path forms of Windows as the programs are given them: a drive-letter path written with
// backslashes, one of more than 260 characters, and the same in the "\\?\" form.
TEST(Chain, DriveLetterLongAndPrefixedPaths) {
    TempDir dir;
    const std::string deep = dir.file(std::string(150, 'd') + "/" + std::string(150, 'e'));
    const plcgen::ProgramLayout layout = plcgen::standardProgram();
    std::string error;
    for (const std::string& folder : {dir.path(), deep}) {
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(plcgen::writeProgram(layout, folder + "/KORVEX.EXE", folder + "/KORVEX.map",
                                         folder + "/Make.knf", error))
            << error;
        testsupport::writeFile(folder + "/PLC_ENDP.DAT", "end");
        for (const char* name : {"plc.lst", "KORVEX.map"})
            testsupport::writeFile(folder + "/example-" + name, readFile(ExamplesDir + "/" + name));
    }
    const std::string drive = withBackslashes(dir.path());
    ASSERT_EQ(drive.substr(1, 2), ":\\");
    const struct {
        std::string argument; // the folder as the programs are given it
        std::string folder;   // the same folder for the test's own file access
    } forms[] = {{drive, dir.path()},
                 {withBackslashes(deep), deep},
                 {"\\\\?\\" + drive, dir.path()},
                 {"\\\\?\\" + withBackslashes(deep), deep}};
    const auto expected = imagefiles::expectedImages(layout, plcgen::buildExecutable(layout),
                                                     imagefiles::commentBlock("Line 7 press"));
    for (const auto& form : forms) {
        SCOPED_TRACE(form.argument);
        const std::string at = form.argument + "\\";
        // Each form writes into a folder of its own.
        const std::string images = "images" + std::to_string(&form - forms);
        std::filesystem::create_directories(form.folder + "/" + images);
        const testsupport::RunResult symbols = runProgram(
            SYMVEX_PATH, {at + "plc.mp2", at + "example-plc.lst", at + "example-KORVEX.map"});
        EXPECT_EQ(symbols.exitStatus, 0) << symbols.output;
        EXPECT_EQ(readFile(form.folder + "/plc.mp2"), readFile(ExamplesDir + "/plc.mp2"));
        const testsupport::RunResult split =
            runProgram(TESSAN_PATH,
                       {at + images + "\\", at + "KORVEX.EXE", at + "KORVEX.map", at + "Make.knf"});
        EXPECT_EQ(split.exitStatus, 0) << split.output;
        const testsupport::RunResult join =
            runProgram(ORLUND_PATH, {at + images + "\\", "JOINED.PLC", at + "PLC_ENDP.DAT"});
        EXPECT_EQ(join.exitStatus, 0) << join.output;
        std::string joined;
        for (const auto& [name, bytes] : expected) {
            EXPECT_EQ(readFile(form.folder + "/" + images + "/" + name), bytes) << name;
            joined += bytes;
        }
        EXPECT_EQ(readFile(form.folder + "/" + images + "/JOINED.PLC"), joined + "end");
    }
}
#endif

// An output path that names an existing folder (or a link to one) without its separator is
// that folder, for the splitter and the joiner alike; any other path stays a prefix of the
// names.
TEST(Chain, OutputFolderGivenWithoutItsSeparator) {
    TempDir dir;
    writeProject(plcgen::standardProgram(), dir.path());
    std::vector<std::pair<std::string, std::string>> forms = {
        {dir.file("images"), dir.file("images") + "/"},        // the folder itself
        {dir.file("images/v2_"), dir.file("images") + "/v2_"}, // a prefix, as before
    };
#ifndef _WIN32
    std::filesystem::create_directory(dir.file("linked"));
    std::filesystem::create_directory_symlink(dir.file("linked"), dir.file("link"));
    forms.push_back({dir.file("link"), dir.file("linked") + "/"}); // a link to a folder
#endif
    for (const auto& [argument, prefix] : forms) {
        SCOPED_TRACE(argument);
        const testsupport::RunResult split =
            runProgram(TESSAN_PATH, {argument, dir.file("KORVEX.EXE"), dir.file("KORVEX.map"),
                                     dir.file("Make.knf")});
        EXPECT_EQ(split.exitStatus, 0) << split.output;
        const testsupport::RunResult join =
            runProgram(ORLUND_PATH, {argument, "KORVEX.PLC", dir.file("PLC_ENDP.DAT")});
        EXPECT_EQ(join.exitStatus, 0) << join.output;
        std::string joined;
        for (const char* name : ImageNames) {
            EXPECT_EQ(imagefiles::headerFault(readFile(prefix + name)), "") << name;
            joined += readFile(prefix + name);
        }
        EXPECT_EQ(readFile(prefix + "KORVEX.PLC"), joined + readFile(dir.file("PLC_ENDP.DAT")));
    }
    // Nothing was written beside the folder under a name that merely begins with its own.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("Plc_"), std::string::npos) << entry.path();
}

TEST(Chain, GeneratedProjectsOfSeveralShapes) {
    struct Shape {
        const char* what;
        std::uint16_t headerParagraphs;
        std::uint32_t unitLength;  // map Length of every unit segment
        std::uint32_t code5Length; // map Length of CODE5
        std::uint16_t dusrSpan;    // ??SEC_PROC_DUSR_END - ??SEC_PROC_DUSR_LOAD
        bool unitsFirst;           // unit segments placed before CODE4 in the load module
    };
    const Shape shapes[] = {
        {"small header, header-only units, DUSR block of 16 bytes", 2, 0x24, 0x1824, 0, false},
        {"large header, long units, wide DUSR block", 200, 0x1004, 0x4000, 0x400, false},
        {"units placed before the main segment", 32, 0x300, 0x2000, 0x20, true},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.what);
        plcgen::ProgramLayout layout = plcgen::standardProgram();
        layout.headerParagraphs = shape.headerParagraphs;
        layout.moduleSize = 0;
        std::uint32_t place = shape.unitsFirst ? 0 : 0x10000;
        for (int i = 2; i < 17; ++i) {
            plcgen::SegmentLayout* unit = plcgen::findSegment(layout, plcgen::CodeSegmentNames[i]);
            unit->start = place;
            unit->length = shape.unitLength;
            plcgen::fillRamp(*unit, static_cast<std::uint8_t>(0x30 + i), 0x0B);
            place += (shape.unitLength + 15) & ~15u;
        }
        const std::uint32_t mainStart = shape.unitsFirst ? place : 0;
        plcgen::SegmentLayout* main = plcgen::findSegment(layout, "CODE4");
        main->start = mainStart;
        plcgen::fillRamp(*main, 0x41, 0x05);
        plcgen::SegmentLayout* far = plcgen::findSegment(layout, "CODE5");
        far->start = mainStart + 0x200;
        far->length = shape.code5Length;
        plcgen::fillRamp(*far, 0x51, 0x03);
        // The DUSR block lies behind every code segment.
        const std::uint32_t dusr = (std::max(place, far->start + far->length) + 15) & ~15u;
        plcgen::SegmentLayout* dusrSegment = plcgen::findSegment(layout, "DUSR_CODE");
        dusrSegment->start = dusr;
        dusrSegment->length = shape.dusrSpan + 0x20;
        plcgen::fillRamp(*dusrSegment, 0xD1, 0x01);
        plcgen::PublicSymbol* load = plcgen::findPublic(layout, "??SEC_PROC_DUSR_LOAD");
        plcgen::PublicSymbol* end = plcgen::findPublic(layout, "??SEC_PROC_DUSR_END");
        load->segment = end->segment = static_cast<std::uint16_t>(dusr >> 4);
        load->offset = 0;
        end->offset = shape.dusrSpan;
        plcgen::findPublic(layout, "??SEC_PROC_FAR_END")->offset = 0xBEEF;
        // Data segments behind everything else, so nothing overlaps the code.
        std::uint32_t data = dusr + dusrSegment->length + 0x10;
        for (const char* name : {"DATA_COM", "DATA1", "DATA_USR", "DATAROZ", "STACK"}) {
            plcgen::SegmentLayout* segment = plcgen::findSegment(layout, name);
            segment->start = data & ~15u;
            data += 0x110;
        }

        TempDir dir;
        writeProject(layout, dir.path());
        const std::vector<std::string> images = splitAndJoin(dir.path(), 0xBEEF);
        EXPECT_EQ(images[1].size(), shape.code5Length - 4 - 6128 + shape.dusrSpan);
        EXPECT_EQ(images[2].size(), shape.unitLength - 4);
    }
}

} // namespace
