// Whole runs of Tessan: arguments, exact standard output, and every byte of every image.
#include "image_files.h"
#include "platform.h"
#include "plc_generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace imagefiles;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string Program = std::string("Tessan") + platform::programSuffix();
const std::string Usage = "\nSyntax1:\n\t" + Program +
                          " /w PathOutput KORVEX.EXE FileMAP Make.knf\n\n/w      ....... print "
                          "warnings (debug mode)\nPathOutput .... output path\nKORVEX.EXE ... "
                          "required\nFileMAP ....... input map file (*.map)\nMake.knf....... "
                          "input make-file\n\nSyntax2:\n\t" +
                          Program +
                          " @CmdFile\n\nCmdFile ... file which contains program arguments\n  "
                          "          every argument must be on single line\n";
const std::string Success = "      0 errors\n";

// Checks the banner line and returns what follows it; the notice after the version is free.
std::string afterBanner(const std::string& output) {
    const std::string front = "\nPLC-Bin creator for Zelvar          Version 1.0";
    EXPECT_EQ(output.substr(0, front.size()), front);
    const std::size_t end = output.find("\n\n", 1);
    EXPECT_NE(end, std::string::npos);
    return end == std::string::npos ? output : output.substr(end + 2);
}

testsupport::RunResult tessan(const std::vector<std::string>& args, const std::string& dir = {}) {
    return runProgram(TESSAN_PATH, args, dir);
}

// A folder holding the standard program's inputs and an output folder "out/".
struct Project {
    TempDir dir;
    plcgen::ProgramLayout layout = plcgen::standardProgram();
    void write() {
        testsupport::writeProject(layout, dir.path());
        std::filesystem::create_directories(dir.file("out"));
    }
    std::vector<std::string> args() const {
        return {dir.file("out") + "/", dir.file("KORVEX.EXE"), dir.file("KORVEX.map"),
                dir.file("Make.knf")};
    }
    std::string out(const std::string& name) const { return dir.file("out") + "/" + name; }
    void expectImages(const std::string& comment) const {
        const auto images = expectedImages(layout, plcgen::buildExecutable(layout), comment);
        for (const auto& [name, bytes] : images) {
            ASSERT_TRUE(testsupport::fileExists(out(name))) << name;
            EXPECT_EQ(readFile(out(name)), bytes) << name;
        }
    }
};

} // namespace

TEST(TessanRun, GoodRunWritesSeventeenImagesAndPrintsOnlyBanner) {
    Project project;
    project.write();
    const std::string exeBefore = readFile(project.dir.file("KORVEX.EXE"));
    const auto result = tessan(project.args());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(afterBanner(result.output), Success);
    project.expectImages(commentBlock("Line 7 press"));
    EXPECT_EQ(readFile(project.dir.file("KORVEX.EXE")), exeBefore);
    // Spot checks of the layout against numbers worked out by hand.
    const std::string main = readFile(project.out("Plc_main.bin"));
    ASSERT_EQ(main.size(), 0x1FCu);
    EXPECT_EQ(main.substr(32, 32), commentBlock("Line 7 press"));
    EXPECT_EQ(word(main, 12), 0x1FCu);
    EXPECT_EQ(word(main, 28), 32u);
    EXPECT_EQ(static_cast<unsigned char>(main[21]), 0xF0);
    EXPECT_EQ(static_cast<unsigned char>(main[22]), 0x19);
    const std::string far = readFile(project.out("Plc_far0.bin"));
    // 32 + (0x19FC - 6176) + (0x2180 - 0x2100 + 16)
    EXPECT_EQ(far.size(), 32u + (0x19FCu - 6176u) + 0x90u);
    EXPECT_EQ(far.substr(far.size() - 0x90),
              plcgen::buildExecutable(project.layout).substr(512 + 0x2100, 0x90));
    for (int i = 2; i < 17; ++i)
        EXPECT_EQ(readFile(project.out(ImageNames[i])).size(), 60u);
}

TEST(TessanRun, HeaderFieldVectors) {
    Project project;
    plcgen::SegmentLayout& unit = *plcgen::findSegment(project.layout, "CODE_UNIT03");
    // Bytes 8 to 11 are 1, 2, 3, 4 and the file is 288 bytes long: headerCheck 43.
    // 300 bytes of 255 after the header would need more room: CODE_UNIT04 gets them.
    unit.length = 288 + 4;
    unit.bytes.assign(unit.length, 0);
    for (int i = 0; i < 4; ++i)
        unit.bytes[8 + i] = static_cast<std::uint8_t>(1 + i);
    unit.bytes[20] = 0xAA;
    unit.bytes[23] = 0xBB;
    plcgen::SegmentLayout& next = *plcgen::findSegment(project.layout, "CODE_UNIT04");
    next.start = 0x2800;
    next.length = 332 + 4;
    next.bytes.assign(next.length, 0xFF);
    plcgen::findPublic(project.layout, "??SEC_PROC_FAR_END")->offset = 0x1234;
    // A unit segment with Length 00024H gives a file of its header alone.
    plcgen::findSegment(project.layout, "CODE_UNIT17")->length = 0x24;
    // dusrEnd equal to dusrLoad: the DUSR block is exactly 16 bytes.
    plcgen::findPublic(project.layout, "??SEC_PROC_DUSR_END")->offset = 0x0100;
    // No comment line: 32 zero bytes after the header of Plc_main.bin.
    project.layout.makeLines = {"all: KORVEX.EXE"};
    project.write();
    const auto result = tessan(project.args());
    ASSERT_EQ(result.exitStatus, 0) << result.output;
    project.expectImages(std::string(32, '\0'));

    const std::string e003 = readFile(project.out("Plc_e003.bin"));
    ASSERT_EQ(e003.size(), 288u);
    EXPECT_EQ(word(e003, 14), 43u);
    EXPECT_EQ(static_cast<unsigned char>(e003[20]), 0xAA);
    EXPECT_EQ(static_cast<unsigned char>(e003[21]), 0x34);
    EXPECT_EQ(static_cast<unsigned char>(e003[22]), 0x12);
    EXPECT_EQ(static_cast<unsigned char>(e003[23]), 0xBB);
    const std::string e004 = readFile(project.out("Plc_e004.bin"));
    ASSERT_EQ(e004.size(), 332u);
    EXPECT_EQ(word(e004, 26), 10964u); // 300 x 255 = 76500, modulo 65536
    const std::string e017 = readFile(project.out("Plc_e017.bin"));
    ASSERT_EQ(e017.size(), 32u);
    EXPECT_EQ(word(e017, 24), 0u);
    EXPECT_EQ(word(e017, 26), 0u);
    const std::string far = readFile(project.out("Plc_far0.bin"));
    EXPECT_EQ(far.size(), 32u + (0x19FCu - 6176u) + 16u);
    const std::string main = readFile(project.out("Plc_main.bin"));
    EXPECT_EQ(main.substr(32, 32), std::string(32, '\0'));
}

TEST(TessanRun, HeaderOfAnyParagraphCount) {
    for (unsigned paragraphs : {2u, 32u, 0x41u}) {
        Project project;
        project.layout.headerParagraphs = static_cast<std::uint16_t>(paragraphs);
        project.write();
        const auto result = tessan(project.args());
        ASSERT_EQ(result.exitStatus, 0) << paragraphs << result.output;
        project.expectImages(commentBlock("Line 7 press"));
    }
    // Header size 32: a segment with start 0x100 begins at file offset 768.
    Project project;
    plcgen::findSegment(project.layout, "CODE4")->start = 0x100;
    plcgen::findSegment(project.layout, "CODE4")->length = 0x100;
    project.write();
    ASSERT_EQ(tessan(project.args()).exitStatus, 0);
    const std::string exe = readFile(project.dir.file("KORVEX.EXE"));
    EXPECT_EQ(readFile(project.out("Plc_main.bin")).substr(64), exe.substr(768 + 64, 0xFC - 64));
}

TEST(TessanRun, OutputPathIsAPlainPrefix) {
    Project project;
    project.write();
    // Empty: the images land in the working folder. No separator: glued onto the name.
    auto args = project.args();
    args[0] = "";
    ASSERT_EQ(tessan(args, project.dir.path()).exitStatus, 0);
    EXPECT_TRUE(testsupport::fileExists(project.dir.file("Plc_e017.bin")));
    args[0] = project.dir.file("out") + "/x_";
    ASSERT_EQ(tessan(args).exitStatus, 0);
    EXPECT_TRUE(testsupport::fileExists(project.out("x_Plc_main.bin")));
    // A long output path is used whole.
    std::string deep = project.dir.file(std::string(200, 'd'));
    std::filesystem::create_directories(deep + "/" + std::string(200, 'e'));
    args[0] = deep + "/" + std::string(200, 'e') + "/";
    ASSERT_EQ(tessan(args).exitStatus, 0);
    EXPECT_TRUE(testsupport::fileExists(args[0] + "Plc_e005.bin"));
}

TEST(TessanRun, ExistingOutputsAreReplaced) {
    Project project;
    project.write();
    writeFile(project.out("Plc_e009.bin"), std::string(5000, 'z'));
    ASSERT_EQ(tessan(project.args()).exitStatus, 0);
    project.expectImages(commentBlock("Line 7 press"));
}

// Previous images of another build in the output folder.
void writePreviousImages(const Project& project) {
    for (const auto& [name, bytes] :
         expectedImages(project.layout, plcgen::buildExecutable(project.layout), ""))
        writeFile(project.out(name), "previous " + name);
}

// A folder in the place of the fifth image: error 15 with its name before anything is written;
// the other images of the previous build stay as they were, and no temporary is left.
TEST(TessanRun, FolderInAnImagesPlaceWritesNothing) {
    Project project;
    project.write();
    writePreviousImages(project);
    std::filesystem::remove(project.out("Plc_e005.bin"));
    std::filesystem::create_directories(project.out("Plc_e005.bin"));
    const auto before = testsupport::folderFiles(project.dir.path());
    const auto result = tessan(project.args());
    EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(afterBanner(result.output),
              "\nError: 15, File create error: " + project.out("Plc_e005.bin") + "\n");
    EXPECT_EQ(testsupport::folderFiles(project.dir.path()), before);
}

TEST(TessanRun, NoImageReplacesAnInput) {
    Project project;
    project.write();
    const std::string cmd = project.dir.file("args.txt");
    auto a = project.args();
    writeFile(cmd, a[0] + "\n" + a[1] + "\n" + a[2] + "\n" + a[3] + "\n");
    // Each input reached from an image's name by a link; the output path "" puts the images
    // into the current folder, where the executable is named as the first image.
    struct Case {
        std::string input;
        std::string image;
        bool hardLink;
    };
    const Case cases[] = {{a[1], "Plc_e017.bin", true},
                          {a[2], "Plc_main.bin", false},
                          {a[3], "Plc_e009.bin", true},
                          {cmd, "Plc_far0.bin", false}};
    for (const Case& c : cases) {
        const std::string before = readFile(c.input);
        if (c.hardLink || !testsupport::makeSymbolicLink(c.input, project.out(c.image)))
            std::filesystem::create_hard_link(c.input, project.out(c.image));
        const auto result = tessan({"@" + cmd});
        EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
        EXPECT_EQ(afterBanner(result.output),
                  "\nError: 23, Output file is an input file: " + project.out(c.image) + "\n");
        EXPECT_EQ(readFile(c.input), before);
        std::filesystem::remove(project.out(c.image));
        EXPECT_TRUE(std::filesystem::is_empty(project.dir.file("out"))) << c.image;
    }
    std::filesystem::rename(project.dir.file("KORVEX.EXE"), project.dir.file("Plc_main.bin"));
    const auto result = tessan({"", "Plc_main.bin", "KORVEX.map", "Make.knf"}, project.dir.path());
    EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(afterBanner(result.output),
              "\nError: 23, Output file is an input file: Plc_main.bin\n");
    EXPECT_EQ(readFile(project.dir.file("Plc_main.bin")), plcgen::buildExecutable(project.layout));
    EXPECT_FALSE(testsupport::fileExists(project.dir.file("Plc_far0.bin")));
}

TEST(TessanArguments, NoArgumentPrintsUsage) {
    const auto result = tessan({});
    EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(afterBanner(result.output), Usage);
}

TEST(TessanArguments, CommandLineOptionsAndCounts) {
    Project project;
    project.write();
    auto a = project.args();
    // Options between positionals do not shift the slots; bad ones are reported, the run goes on.
    auto result = tessan({a[0], "/w", a[1], "-W", a[2], "-wx", a[3], "-w", "surplus"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(afterBanner(result.output), "\nError: 7, Error in command line (debug)\n"
                                          "\nError: 7, Error in command line (debug)\n"
                                          "\nError: 6, Error in command line\n" +
                                              Success);
    // Three positionals pass the count and fail in the make-file reader.
    result = tessan({a[0], a[1], a[2]});
    EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(afterBanner(result.output), "\nError: 19, File open error: \n");
    result = tessan({a[0], a[1]});
    EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(afterBanner(result.output), "\nError: 8, Error in command line (count)\n" + Usage);
}

TEST(TessanArguments, CommandFile) {
    Project project;
    project.write();
    auto a = project.args();
    const std::string cmd = project.dir.file("args.txt");
    // CR LF, blank lines and leading blanks vanish; "/w" alone is the switch, "-w " with its
    // trailing blank is a bad option, and a NUL ends its argument.
    writeFile(cmd, "\r\n  " + a[0] + "\r\n\r\n/w\r\n-w \r\n" + a[1] + std::string(1, '\0') +
                       "junk\n   " + a[2] + "\n" + a[3] + "\nfifth\n");
    auto result = tessan({"@" + cmd, "ignored", "-x"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(afterBanner(result.output),
              "\nError: 3, Invalid command-file option (debug): " + cmd +
                  "\n\nError: 4, Invalid command-file option "
                  "(count): fifth\n" +
                  Success);
    // A blank at the end of a line stays, so "/w " is not the warnings switch: an invalid
    // switch on Windows, a path (here the make-file) on POSIX.
    writeFile(cmd, a[0] + "\n" + a[1] + "\n" + a[2] + "\n/w \n");
    result = tessan({"@" + cmd});
    EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
#ifdef _WIN32
    EXPECT_EQ(afterBanner(result.output), "\nError: 3, Invalid command-file option (debug): " +
                                              cmd + "\n\nError: 19, File open error: \n");
#else
    EXPECT_EQ(afterBanner(result.output), "\nError: 19, File open error: /w \n");
#endif

    writeFile(cmd, " \r\n\n  \n");
    result = tessan({"@" + cmd});
    EXPECT_EQ(afterBanner(result.output),
              "\nError: 5, Close error command-file option: " + cmd + "\n" + Usage);
    EXPECT_EQ(afterBanner(tessan({"@"}).output), "\nError: 1, File open error: \n");
    EXPECT_EQ(afterBanner(tessan({"@" + project.dir.path()}).output),
              "\nError: 1, File open error: " + project.dir.path() + "\n");
    const testsupport::UnreadableFile unreadable;
    EXPECT_EQ(afterBanner(tessan({"@" + unreadable.path()}).output),
              "\nError: 2, File read error: " + unreadable.path() + "\n");
}

// The system's rule for switches: on Windows every argument that begins with "/" is one, on
// POSIX only "/w" (other such arguments are paths).
TEST(TessanArguments, SlashArgumentsFollowTheSystemsRule) {
    Project project;
    project.write();
    auto a = project.args();
    const std::string cmd = project.dir.file("args.txt");
    writeFile(cmd, "/q\n" + a[0] + "\n/w\n" + a[1] + "\n" + a[2] + "\n" + a[3] + "\n");
    const auto fromFile = tessan({"@" + cmd});
    const auto fromLine = tessan({"/q", a[0], "/w", a[1], a[2], a[3]});
#ifdef _WIN32
    EXPECT_EQ(afterBanner(fromFile.output),
              "\nError: 3, Invalid command-file option (debug): " + cmd + "\n" + Success);
    EXPECT_EQ(fromFile.exitStatus, 0);
    EXPECT_EQ(afterBanner(fromLine.output),
              "\nError: 7, Error in command line (debug)\n" + Success);
    EXPECT_EQ(fromLine.exitStatus, 0);
    project.expectImages(commentBlock("Line 7 press"));
#else
    // "/q" is the output path, so the executable is taken as the map.
    const std::string mapError = "\nError: 10, Syntax error in MAP-file\n";
    EXPECT_EQ(afterBanner(fromFile.output),
              "\nError: 4, Invalid command-file option (count): " + a[3] + "\n" + mapError);
    EXPECT_EQ(fromFile.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(afterBanner(fromLine.output), "\nError: 6, Error in command line\n" + mapError);
    EXPECT_EQ(fromLine.exitStatus, testsupport::FailureStatus);
#endif
}

TEST(TessanArguments, CommandFileReadsItsFirst10000Bytes) {
    Project project;
    project.write();
    auto a = project.args();
    const std::string cmd = project.dir.file("args.txt");
    // The fourth line is cut at byte 10000: its first part is the make-file path.
    const std::string head = a[0] + "\n" + a[1] + "\n" + a[2];
    const std::string padding(10000 - head.size() - a[3].size(), '\n');
    const std::string text = head + padding + a[3] + "MORE\n";
    writeFile(cmd, text);
    const auto result = tessan({"@" + cmd});
    EXPECT_EQ(afterBanner(result.output), Success);
    // A line longer than 999 characters keeps its first 999.
    writeFile(cmd, a[0] + "\n" + a[1] + "\n" + a[2] + "\n" + std::string(1200, 'm') + "\n");
    EXPECT_EQ(afterBanner(tessan({"@" + cmd}).output),
              "\nError: 19, File open error: " + std::string(999, 'm') + "\n");
}

TEST(TessanInputs, FailuresOfEachInput) {
    Project project;
    project.write();
    auto a = project.args();
    auto expectFailure = [&](std::vector<std::string> args, const std::string& message) {
        const auto result = tessan(args);
        EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
        EXPECT_EQ(afterBanner(result.output), message);
        EXPECT_FALSE(testsupport::fileExists(project.out("Plc_main.bin")));
    };
    // The map is read before the executable is opened.
    expectFailure({a[0], project.dir.file("none.exe"), project.dir.file("none.map"), a[3]},
                  "\nError: 9, File open error: " + project.dir.file("none.map") + "\n");
    expectFailure({a[0], project.dir.file("none.exe"), a[2], a[3]},
                  "\nError: 11, File open error: " + project.dir.file("none.exe") + "\n");
    expectFailure({a[0], project.dir.path(), a[2], a[3]},
                  "\nError: 11, File open error: " + project.dir.path() + "\n");
    const testsupport::UnreadableFile unreadable;
    expectFailure({a[0], unreadable.path(), a[2], a[3]},
                  "\nError: 12, File read error: " + unreadable.path() + "\n");
    expectFailure({a[0], a[1], a[2], project.dir.path()},
                  "\nError: 19, File open error: " + project.dir.path() + "\n");
    expectFailure({a[0], a[1], a[2], unreadable.path()},
                  "\nError: 22, File read error: " + unreadable.path() + "\n");
    writeFile(project.dir.file("short.map"), "CODE4\n");
    expectFailure({a[0], a[1], project.dir.file("short.map"), a[3]},
                  "\nError: 10, Syntax error in MAP-file\n");
}

TEST(TessanExample, PlcgenDescriptionGivesSeventeenImages) {
    TempDir dir;
    const std::string exe = dir.file("KORVEX.EXE");
    const std::string map = dir.file("KORVEX.map");
    ASSERT_EQ(runProgram(PLCGEN_PATH, {std::string(EXAMPLES_DIR) + "/KORVEX.plcgen", exe, map})
                  .exitStatus,
              0);
    const std::string exeBytes = readFile(exe);
    EXPECT_EQ(exeBytes.size(), 512u + 0x2700u);
    EXPECT_EQ(word(exeBytes, 8), 32u);
    // The example's map, as written by hand, and the generated one give the same images.
    for (const std::string& mapPath : {map, testsupport::testDataDir() + "/splitter/KORVEX.map"}) {
        std::filesystem::remove_all(dir.file("out"));
        std::filesystem::create_directories(dir.file("out"));
        const auto result =
            tessan({dir.file("out") + "/", exe, mapPath, std::string(EXAMPLES_DIR) + "/Make.knf"});
        ASSERT_EQ(result.exitStatus, 0) << result.output;
        EXPECT_EQ(afterBanner(result.output), Success);
        plcgen::ProgramLayout layout;
        std::string error;
        ASSERT_TRUE(plcgen::parseDescription(readFile(std::string(EXAMPLES_DIR) + "/KORVEX.plcgen"),
                                             layout, error))
            << error;
        for (const auto& [name, bytes] :
             expectedImages(layout, exeBytes, commentBlock("Line 7 press")))
            EXPECT_EQ(readFile(dir.file("out") + "/" + name), bytes) << name;
    }
}

// A real linker's executable, read in place: the header word gives the load module, and the
// images hold the file's own bytes from there.
TEST(TessanRealData, RealExecutableLoadModule) {
    if (testsupport::realDataDir().empty())
        GTEST_SKIP() << "no real data beside the checkout";
    const std::string exePath = testsupport::realDataDir() + "/masm125/DAC1.EXE";
    const std::string exe = readFile(exePath);
    ASSERT_EQ(word(exe, 8), 32u);
    plcgen::ProgramLayout layout;
    // Every range fits the 4106-byte load module: CODE5 reads only its header here, since
    // its last 6144 bytes are never read.
    for (int i = 0; i < 17; ++i)
        layout.segments.push_back({plcgen::CodeSegmentNames[i],
                                   "CODE",
                                   std::uint32_t(0x40 * i),
                                   i == 1 ? 6180u : 68u,
                                   {}});
    layout.publics = {{"??SEC_PROC_DUSR_LOAD", 0x0010, 0x0000},
                      {"??SEC_PROC_DUSR_END", 0x0010, 0x0010},
                      {"??SEC_PROC_FAR_END", 0x0000, 0x1000}};
    TempDir dir;
    writeFile(dir.file("real.map"), plcgen::buildMap(layout));
    writeFile(dir.file("Make.knf"), "# comment \"real\"\n");
    const auto result =
        tessan({dir.path() + "/", exePath, dir.file("real.map"), dir.file("Make.knf")});
    ASSERT_EQ(result.exitStatus, 0) << result.output;
    for (const auto& [name, bytes] : expectedImages(layout, exe, commentBlock("real")))
        EXPECT_EQ(readFile(dir.file(name)), bytes) << name;
    EXPECT_EQ(readFile(dir.file("Plc_far0.bin")).size(), 32u + 32u);
}

#ifdef _WIN32
// Files that another program holds open: an executable that others read can be processed, one
// being written cannot be opened, and an image that another program holds cannot be replaced.
TEST(TessanRun, FilesHeldOpenByAnotherProgram) {
    Project project;
    project.write();
    {
        const testsupport::HeldFile reader(project.dir.file("KORVEX.EXE"), false, true);
        ASSERT_TRUE(reader.isOpen());
        const auto result = tessan(project.args());
        EXPECT_EQ(afterBanner(result.output), Success);
        project.expectImages(commentBlock("Line 7 press"));
    }
    {
        const testsupport::HeldFile writer(project.dir.file("KORVEX.EXE"), true, true);
        ASSERT_TRUE(writer.isOpen());
        const auto result = tessan(project.args());
        EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
        EXPECT_EQ(afterBanner(result.output),
                  "\nError: 11, File open error: " + project.dir.file("KORVEX.EXE") + "\n");
    }
    writePreviousImages(project);
    const auto before = testsupport::folderFiles(project.dir.path());
    {
        const testsupport::HeldFile image(project.out("Plc_e004.bin"), false, true);
        ASSERT_TRUE(image.isOpen());
        const auto result = tessan(project.args());
        EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
        EXPECT_EQ(afterBanner(result.output),
                  "\nError: 15, File create error: " + project.out("Plc_e004.bin") + "\n");
        EXPECT_EQ(testsupport::folderFiles(project.dir.path()), before);
    }
    // Held by a program that lets others write but not rename it: the ninth image cannot be
    // replaced, and the eight before it are put back.
    const testsupport::HeldFile image(project.out("Plc_e009.bin"), false, true, true);
    ASSERT_TRUE(image.isOpen());
    const auto result = tessan(project.args());
    EXPECT_EQ(result.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(afterBanner(result.output),
              "\nError: 17, File write error: " + project.out("Plc_e009.bin") + "\n");
    EXPECT_EQ(testsupport::folderFiles(project.dir.path()), before);
}
#endif

#ifndef _WIN32
// Writes that fail part-way, from a file-size limit (512-byte blocks of the shell) that lets
// the first images through: the message names the piece and the file, and every image of the
// previous build stays as it was, no temporary left. Windows has no limit of the size of the
// files a process writes.
TEST(TessanRun, WriteFailuresNameTheirPiece) {
    struct Case {
        int blocks;
        std::uint32_t far0Length;
        const char* message;
        const char* failing;
    };
    const Case cases[] = {
        {0, 0x1A00, "\nError: 16, Header write error: ", "Plc_main.bin"},
        // Plc_far0.bin: header and 476 segment bytes fit in 512, the DUSR block does not.
        {1, 0x1A00, "\nError: 18, Pointer write error: ", "Plc_far0.bin"},
        {1, 0x1C00, "\nError: 17, File write error: ", "Plc_far0.bin"},
    };
    for (const Case& c : cases) {
        Project project;
        plcgen::SegmentLayout& far = *plcgen::findSegment(project.layout, "CODE5");
        far.length = c.far0Length;
        plcgen::fillRamp(far, 0x51, 7);
        for (auto& segment : project.layout.segments)
            if (segment.name.rfind("CODE_UNIT", 0) == 0 || segment.name == "DUSR_CODE")
                segment.start += c.far0Length - 0x1A00;
        project.layout.moduleSize = 0;
        for (auto& symbol : project.layout.publics)
            if (symbol.name != "??SEC_PROC_FAR_END")
                symbol.segment =
                    static_cast<std::uint16_t>(symbol.segment + (c.far0Length - 0x1A00) / 16);
        project.write();
        writePreviousImages(project);
        const auto before = testsupport::folderFiles(project.dir.path());
        std::string command =
            "trap '' XFSZ; ulimit -f " + std::to_string(c.blocks) + "; exec " + TESSAN_PATH;
        for (const std::string& arg : project.args())
            command += " '" + arg + "'";
        const auto limited = runProgram("/bin/sh", {"-c", command});
        EXPECT_EQ(limited.exitStatus, testsupport::FailureStatus);
        EXPECT_EQ(afterBanner(limited.output), c.message + project.out(c.failing) + "\n");
        EXPECT_EQ(testsupport::folderFiles(project.dir.path()), before);
    }
}
#endif
