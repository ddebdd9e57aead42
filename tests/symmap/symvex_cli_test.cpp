// Symvex's command line and command file, end to end: the whole standard output, the exit
// status and the .mp2 file the run leaves behind. The example project's listing and map are
// the input, so a run that takes its paths right writes the example's checked-in symbol map.
#include "platform.h"
#include "symvex_e2e.h"
#include "test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using symvextest::examplePath;
using symvextest::ExampleWarnings;
using testsupport::FailureStatus;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string Banner = "Map creator for Zelvar, version 1.0\nPLC post-link tool chain\n\n";

const std::string Program = std::string("Symvex") + platform::programSuffix();
const std::string Usage = "\nSyntax1:\n\t" + Program +
                          " /w FileMP2 FileLST FileMAP\n\n/w      ... print warnings (debug "
                          "mode)\nFileMP2 ... output map file for Zelvar (*.mp2)\nFileLST ... "
                          "input listing file (*.lst)\nFileMAP ... input map file (*.map)\n\n"
                          "Syntax2:\n\t" +
                          Program +
                          " @CmdFile\n\nCmdFile ... file which contains program arguments\n  "
                          "          every argument must be on single line\n";

// The summary of a run on the example without warnings mode.
const std::string CleanSummary = symvextest::ExampleNote + "\t0 errors\r\n\r\n";

// A folder holding the example's listing and map under their own names.
class SymvexCli : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(dir.file("plc.lst"), readFile(examplePath("plc.lst")));
        writeFile(dir.file("KORVEX.map"), readFile(examplePath("KORVEX.map")));
        expectedMp2 = readFile(examplePath("plc.mp2"));
    }

    testsupport::RunResult run(const std::vector<std::string>& args) {
        return runProgram(SYMVEX_PATH, args, dir.path());
    }

    // Writes a command file and runs Symvex on it, with `more` after the "@" argument.
    testsupport::RunResult runCommandFile(const std::string& content,
                                          const std::vector<std::string>& more = {}) {
        writeFile(dir.file("args.txt"), content);
        std::vector<std::string> args = {"@args.txt"};
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    }

    std::string mp2(const std::string& name = "out.mp2") const {
        return fileExists(dir.file(name)) ? readFile(dir.file(name)) : "<none>";
    }

    TempDir dir;
    std::string expectedMp2;
};

TEST_F(SymvexCli, NoArgumentPrintsBannerAndUsage) {
    const auto result = run({});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + Usage);
}

TEST_F(SymvexCli, PathsAreTakenOutputFirstThenListingThenMap) {
    auto result = run({"out.mp2", "plc.lst", "KORVEX.map"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, Banner + CleanSummary);
    EXPECT_EQ(mp2(), expectedMp2);

    // Absolute paths are positional; only "/w" among the slash arguments is a switch.
    result = run({dir.file("abs.mp2"), dir.file("plc.lst"), dir.file("KORVEX.map")});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(mp2("abs.mp2"), expectedMp2);

    // The order of the usage text takes the listing as the output and the output as the
    // listing: the missing "listing" ends the run, and the real listing stays untouched.
    result = run({"plc.lst", "new.mp2", "KORVEX.map"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : new.mp2\n");
    EXPECT_EQ(readFile(dir.file("plc.lst")), readFile(examplePath("plc.lst")));
    EXPECT_FALSE(fileExists(dir.file("new.mp2")));
}

TEST_F(SymvexCli, ListingMapAndOtherFilesAreNeverReplacedByTheSymbolMap) {
    const std::string listing = readFile(examplePath("plc.lst"));
    const std::string map = readFile(examplePath("KORVEX.map"));
    auto refused = [](int number, const std::string& text, const std::string& path) {
        return Banner + " critical error SV001" + std::to_string(number) + ": " + text + " : " +
               path + "\n" + symvextest::ExampleNote + "\t1 errors\r\n\r\n";
    };
    // The listing and the output swapped after an earlier run: the old symbol map, read as
    // the listing, has no symbol tables, and the run ends before anything is written.
    ASSERT_EQ(run({"plc.mp2", "plc.lst", "KORVEX.map"}).exitStatus, 0);
    auto result = run({"plc.lst", "plc.mp2", "KORVEX.map"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output,
              Banner + " critical error SV0016: Listing has no symbol tables. : plc.mp2\n");
    EXPECT_EQ(readFile(dir.file("plc.lst")), listing);
    EXPECT_EQ(mp2("plc.mp2"), expectedMp2);
    // A file that is no symbol map in the output's place.
    writeFile(dir.file("notes.txt"), "notes\n");
    result = run({"notes.txt", "plc.lst", "KORVEX.map"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, refused(4, "Output file is not a symbol map.", "notes.txt"));
    EXPECT_EQ(readFile(dir.file("notes.txt")), "notes\n");

    // The listing or the map themselves, by whatever path: a symbolic link, a hard link.
    // (A hard link where the system makes no symbolic ones.)
    if (!testsupport::makeSymbolicLink(dir.file("plc.lst"), dir.file("listing.mp2")))
        std::filesystem::create_hard_link(dir.file("plc.lst"), dir.file("listing.mp2"));
    std::filesystem::create_hard_link(dir.file("KORVEX.map"), dir.file("map.mp2"));
    for (const std::string output : {"listing.mp2", "map.mp2", "./plc.lst"}) {
        result = run({output, "plc.lst", "KORVEX.map"});
        EXPECT_EQ(result.exitStatus, FailureStatus) << output;
        EXPECT_EQ(result.output, refused(5, "Output file is an input file.", output));
    }
    EXPECT_EQ(readFile(dir.file("plc.lst")), listing);
    EXPECT_EQ(readFile(dir.file("KORVEX.map")), map);

    // An empty file and a symbol map of another version are replaced as before.
    for (const std::string& old : {std::string(), std::string("$MP2 01\r\n[SYMBOL_TABLE 0]\r\n")}) {
        writeFile(dir.file("out.mp2"), old);
        result = run({"out.mp2", "plc.lst", "KORVEX.map"});
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.output, Banner + CleanSummary);
        EXPECT_EQ(mp2(), expectedMp2);
    }
}

TEST_F(SymvexCli, WarningsSwitchMayStandAnywhere) {
    const std::vector<std::vector<std::string>> lines = {
        {"/w", "out.mp2", "plc.lst", "KORVEX.map"},
        {"out.mp2", "-w", "plc.lst", "KORVEX.map"},
        {"out.mp2", "plc.lst", "/w", "KORVEX.map"},
        {"out.mp2", "plc.lst", "KORVEX.map", "-w"},
    };
    for (const auto& line : lines) {
        const auto result = run(line);
        EXPECT_EQ(result.exitStatus, 0) << line[1];
        EXPECT_EQ(result.output, Banner + ExampleWarnings) << line[1];
        EXPECT_EQ(mp2(), expectedMp2) << line[1];
    }
}

TEST_F(SymvexCli, InvalidSwitchesAndSurplusPathsAreErrorsButTheRunGoesOn) {
    const auto result =
        run({"-W", "out.mp2", "-wx", "plc.lst", "-", "KORVEX.map", "-q", "/q", "extra"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner +
                                 " error SV0002: Invalid command-line option. : -W\n"
                                 " error SV0002: Invalid command-line option. : -wx\n"
                                 " error SV0002: Invalid command-line option. : -\n"
                                 " error SV0002: Invalid command-line option. : -q\n"
                                 " error SV0002: Invalid command-line option. : /q\n"
                                 " error SV0002: Invalid command-line option. : extra\n" +
                                 symvextest::ExampleNote + "\t6 errors\r\n\r\n");
    EXPECT_EQ(mp2(), expectedMp2);
}

// The system's rule for switches: on Windows every argument that begins with "/" is one, on
// POSIX only "/w" (other such arguments are paths).
TEST_F(SymvexCli, SlashArgumentsFollowTheSystemsRule) {
    const auto fromLine = run({"/q", "out.mp2", "/w", "plc.lst", "KORVEX.map"});
    const auto fromFile = runCommandFile("/q\nout.mp2\n/w\nplc.lst\nKORVEX.map\n");
    const std::string readerWarnings = ExampleWarnings.substr(0, ExampleWarnings.find('\t'));
#ifdef _WIN32
    EXPECT_EQ(fromLine.output, Banner + " error SV0002: Invalid command-line option. : /q\n" +
                                   readerWarnings + "\t1 errors, 3 warnings\r\n\r\n");
    EXPECT_EQ(fromFile.output, Banner + " error SV0005: Invalid command-file option. : /q\n" +
                                   readerWarnings + "\t1 errors, 3 warnings\r\n\r\n");
    EXPECT_EQ(mp2(), expectedMp2);
#else
    // "/q" is the output path, so "out.mp2" is taken as the listing and "plc.lst" as the map.
    EXPECT_EQ(fromLine.output, Banner +
                                   " error SV0002: Invalid command-line option. : KORVEX.map\n" +
                                   " critical error SV0001: File open error. : out.mp2\n");
    EXPECT_EQ(fromFile.output, Banner +
                                   " error SV0005: Invalid command-file option. : KORVEX.map\n" +
                                   " critical error SV0001: File open error. : out.mp2\n");
    EXPECT_EQ(mp2(), "<none>");
#endif
    EXPECT_EQ(fromLine.exitStatus, FailureStatus);
    EXPECT_EQ(fromFile.exitStatus, FailureStatus);
}

TEST_F(SymvexCli, TooFewPathsOnTheCommandLine) {
    // A switch does not count as a path; an empty argument does.
    auto result = run({"-w", "out.mp2", "plc.lst"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output,
              Banner + " critical error SV0003: Too few command-line parameters.\n" + Usage);
    EXPECT_EQ(mp2(), "<none>");

    result = run({"out.mp2", "", "KORVEX.map"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : \n");
}

TEST_F(SymvexCli, OutputThatCannotBeCreatedStillGivesTheSummary) {
    const auto result = run({"nodir/out.mp2", "plc.lst", "KORVEX.map"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : nodir/out.mp2\n" +
                                 symvextest::ExampleNote + "\t1 errors\r\n\r\n");
}

TEST_F(SymvexCli, CommandFileLinesAndLaterArgumentsIgnored) {
    // Blank lines, lines of blanks and leading blanks are skipped; CR LF, lone CR and a last
    // line without a line end all end a line. Arguments after the "@" one are not looked at.
    const auto result = runCommandFile("\r\n   \r\n  out.mp2\r\n\n \r\r-w\rplc.lst\n\n  KORVEX.map",
                                       {"-W", "surplus"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, Banner + ExampleWarnings);
    EXPECT_EQ(mp2(), expectedMp2);
}

TEST_F(SymvexCli, CommandFileKeepsTrailingBlanksAndTabs) {
    auto result = runCommandFile("out.mp2  \nplc.lst\nKORVEX.map\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(mp2("out.mp2  "), expectedMp2);
#ifdef _WIN32
    // Windows drops blanks at the end of a file name: both names are the same file.
    EXPECT_EQ(mp2(), expectedMp2);
#else
    EXPECT_EQ(mp2(), "<none>");
#endif

    result = runCommandFile("out.mp2\n\tplc.lst\nKORVEX.map\n");
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : \tplc.lst\n");
}

TEST_F(SymvexCli, CommandFileSwitchesAndSurplusLinesGiveMessage5) {
    const auto result = runCommandFile("-W\nout.mp2\n/w\nplc.lst\nKORVEX.map\nextra\n");
    EXPECT_EQ(result.exitStatus, FailureStatus);
    const std::string readerWarnings = ExampleWarnings.substr(0, ExampleWarnings.find('\t'));
    EXPECT_EQ(result.output, Banner + " error SV0005: Invalid command-file option. : -W\n" +
                                 " error SV0005: Invalid command-file option. : extra\n" +
                                 readerWarnings + "\t2 errors, 3 warnings\r\n\r\n");
    EXPECT_EQ(mp2(), expectedMp2);
}

TEST_F(SymvexCli, CommandFileLineIsCutAfter999Characters) {
    // "./" repeated leads to the same file: the first 999 characters end with "out.mp2".
    std::string longPath;
    for (int i = 0; i < 496; ++i)
        longPath += "./";
    longPath += "out.mp2";
    ASSERT_EQ(longPath.size(), 999u);
    const auto result = runCommandFile(longPath + "-rest-of-line\nplc.lst\nKORVEX.map\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, Banner + CleanSummary);
    EXPECT_EQ(mp2(), expectedMp2);
}

TEST_F(SymvexCli, CommandFileIsReadToItsFirst10000Bytes) {
    // The map's name ends exactly at byte 10000; what follows is not seen.
    std::string head = "out.mp2\nplc.lst\n";
    std::string content = head + std::string(10000 - head.size() - 10, '\n') + "KORVEX.map";
    ASSERT_EQ(content.size(), 10000u);
    auto result = runCommandFile(content + ".old\nsurplus\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, Banner + CleanSummary);
    EXPECT_EQ(mp2(), expectedMp2);

    // Cut one byte earlier, the map's name loses its last letter.
    content = head + std::string(10000 - head.size() - 9, '\n') + "KORVEX.map";
    result = runCommandFile(content);
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : KORVEX.ma\n");
}

TEST_F(SymvexCli, CommandFileWithTooFewPaths) {
    const auto result = runCommandFile("out.mp2\n-x\n\nplc.lst\n");
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + " error SV0005: Invalid command-file option. : -x\n" +
                                 " critical error SV0006: Too few command-file parameters.\n" +
                                 Usage);
    EXPECT_EQ(mp2(), "<none>");

    // An empty command file gives no argument at all.
    EXPECT_EQ(runCommandFile("").output,
              Banner + " critical error SV0006: Too few command-file parameters.\n" + Usage);
}

TEST_F(SymvexCli, CommandFileThatCannotBeOpened) {
    auto result = run({"@missing.txt", "out.mp2", "plc.lst", "KORVEX.map"});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : missing.txt\n");

    // A folder is not a command file.
    result = run({"@" + dir.path()});
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(result.output,
              Banner + " critical error SV0001: File open error. : " + dir.path() + "\n");
    EXPECT_EQ(mp2(), "<none>");
}

#ifdef _WIN32
// Files that another program holds open: a listing being written elsewhere cannot be opened,
// nor can a .mp2 that another program keeps open be replaced; the summary follows then, as
// for any output that cannot be created.
TEST_F(SymvexCli, FilesHeldOpenByAnotherProgram) {
    {
        const testsupport::HeldFile writer(dir.file("plc.lst"), true, true);
        ASSERT_TRUE(writer.isOpen());
        const auto result = run({"out.mp2", "plc.lst", "KORVEX.map"});
        EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : plc.lst\n");
        EXPECT_EQ(result.exitStatus, FailureStatus);
    }
    const std::string old = "$MP2 01\r\n";
    writeFile(dir.file("out.mp2"), old);
    const testsupport::HeldFile reader(dir.file("out.mp2"), false, true);
    ASSERT_TRUE(reader.isOpen());
    const auto result = run({"out.mp2", "plc.lst", "KORVEX.map"});
    EXPECT_EQ(result.output, Banner + " critical error SV0001: File open error. : out.mp2\n" +
                                 symvextest::ExampleNote + "\t1 errors\r\n\r\n");
    EXPECT_EQ(result.exitStatus, FailureStatus);
    EXPECT_EQ(mp2(), old);
}
#endif

TEST_F(SymvexCli, NulByteEndsACommandFileArgument) {
    const char content[] = "out.mp2\0junk\nplc.lst\nKORVEX.map\n";
    const auto result = runCommandFile(std::string(content, sizeof content - 1));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(mp2(), expectedMp2);
}

} // namespace
