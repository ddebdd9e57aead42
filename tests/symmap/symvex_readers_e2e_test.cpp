// Symvex run end to end on listings and maps: standard output (banner masked), exit status
// and the bytes of the .mp2 file.
#include "symvex_e2e.h"
#include "test_support.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using symvextest::examplePath;
using symvextest::ExampleWarnings;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

struct SymvexRun {
    std::int64_t status;
    std::string output; // after the three banner lines
    std::string mp2;    // "<none>" when no file was written
};

SymvexRun runSymvex(const TempDir& dir, std::vector<std::string> args) {
    const auto result = runProgram(SYMVEX_PATH, args, dir.path());
    std::size_t start = 0;
    for (int i = 0; i < 3 && start != std::string::npos; ++i) {
        start = result.output.find('\n', start);
        if (start != std::string::npos)
            ++start;
    }
    SymvexRun run{result.exitStatus, start == std::string::npos ? "" : result.output.substr(start),
                  "<none>"};
    if (testsupport::fileExists(dir.file("out.mp2")))
        run.mp2 = readFile(dir.file("out.mp2"));
    return run;
}

// Writes the listing and the map into the folder and runs Symvex on them.
SymvexRun runOn(const std::string& listing, const std::string& map, bool warnings = false) {
    TempDir dir;
    writeFile(dir.file("t.lst"), listing);
    writeFile(dir.file("t.map"), map);
    std::vector<std::string> args = {"out.mp2", "t.lst", "t.map"};
    if (warnings)
        args.insert(args.begin(), "/w");
    return runSymvex(dir, args);
}

std::string emptyMp2() {
    return "$MP2 02\r\n"
           "\r\n[SYMBOL_TABLE 0]\r\n;Sel    Addr    Type    Symbol\r\n"
           "\r\n[BIT_FIELDS 0]\r\n;Bit                           Location\r\n"
           "\r\n[STRUCTURE_OFFSETS 0]\r\n;Name                          Offset\r\n"
           "\r\n[BIT_WEIGHTS 0]\r\n;Bit                           Weight\r\n"
           "\r\n[CONSTANTS 0]\r\n;Name                          Value\r\n";
}

TEST(SymvexExample, ExampleProjectGivesItsCheckedInSymbolMap) {
    TempDir dir;
    const SymvexRun run =
        runSymvex(dir, {"out.mp2", examplePath("plc.lst"), examplePath("KORVEX.map")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t0 errors\r\n\r\n");
    EXPECT_EQ(run.mp2, readFile(examplePath("plc.mp2")));
}

TEST(SymvexExample, WarningsModeShowsTheExamplesWarnings) {
    TempDir dir;
    writeFile(dir.file("plc.lst"), readFile(examplePath("plc.lst")));
    writeFile(dir.file("KORVEX.map"), readFile(examplePath("KORVEX.map")));
    const SymvexRun run = runSymvex(dir, {"out.mp2", "plc.lst", "KORVEX.map", "-w"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, ExampleWarnings);
    EXPECT_EQ(run.mp2, readFile(examplePath("plc.mp2")));
}

TEST(SymvexReaders, ListingOrMapThatCannotBeOpenedEndsTheRunWithoutSummary) {
    TempDir dir;
    writeFile(dir.file("t.lst"), "Symbols:\r\n");
    SymvexRun run = runSymvex(dir, {"out.mp2", "missing.lst", "t.lst"});
    EXPECT_EQ(run.status, testsupport::FailureStatus);
    EXPECT_EQ(run.output, " critical error SV0001: File open error. : missing.lst\n");
    EXPECT_EQ(run.mp2, "<none>");

    run = runSymvex(dir, {"out.mp2", "t.lst", dir.path()});
    EXPECT_EQ(run.status, testsupport::FailureStatus);
    EXPECT_EQ(run.output, " critical error SV0001: File open error. : " + dir.path() + "\n");
    EXPECT_EQ(run.mp2, "<none>");
}

TEST(SymvexReaders, PublicVariablesOfEveryKindTakeTheirAddressesFromTheMap) {
    const SymvexRun run = runOn("Structures and Unions:\r\n"
                                "AXIS_S . . . 0008\r\n"
                                "  POS  . . . 0000 DWord\r\n"
                                "Records:\r\n"
                                "IO_BITS  . . 0008 0001\r\n"
                                "?READY . . . 0003 0001 0008\r\n"
                                "Symbols:\r\n"
                                "AXIS1  . . . AXIS_S 0000 DATA_USR Public\r\n"
                                "IO1  . . . . IO_BITS 0000 DATA_COM Public\r\n"
                                "CNT  . . . . Word 0000 DATA1 Public\r\n"
                                "LIMIT  . . . Number 0000h Public\r\n"
                                "LOST . . . . Word 0000 DATA1 Public\r\n",
                                " 0240:0020       AXIS1\r\n"
                                " 0220:0006       io1\r\n"
                                " 0230:001A       Cnt\r\n"
                                " 0000:0004  Abs  LIMIT\r\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t0 errors\r\n\r\n");
    EXPECT_EQ(run.mp2, "$MP2 02\r\n"
                       "\r\n[SYMBOL_TABLE 4]\r\n;Sel    Addr    Type    Symbol\r\n"
                       "00a0H   0020H   BYTE    AXIS1\r\n"
                       "0068H   001aH   WORD    CNT\r\n"
                       "0030H   0006H   BYTE    IO1\r\n"
                       "0068H   0000H   WORD    LOST\r\n"
                       "\r\n[BIT_FIELDS 1]\r\n;Bit                           Location\r\n"
                       "READY                          IO1\r\n"
                       "\r\n[STRUCTURE_OFFSETS 1]\r\n;Name                          Offset\r\n"
                       "POS                            0000\r\n"
                       "\r\n[BIT_WEIGHTS 1]\r\n;Bit                           Weight\r\n"
                       "READY                          03\r\n"
                       "\r\n[CONSTANTS 1]\r\n;Name                          Value\r\n"
                       "LIMIT                          00000004\r\n");
}

TEST(SymvexReaders, WarningsOfTheReadersShowOnlyInWarningsMode) {
    const std::string listing =
        "Symbols:\r\nA . . P Near 0000 CODE4\r\nB ~ . Byte 0001 DATA1 Public\r\n";
    const std::string map = "0:5 B\r\n0:6 B\r\n";
    SymvexRun run = runOn(listing, map);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t0 errors\r\n\r\n");
    const std::string quiet = run.mp2;

    run = runOn(listing, map, true);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "t.lst(2:7) warning SV0032: Expect structure or record name. : P\n"
                          "t.lst(3:3) warning SV0008: Invalid character. : '~' (0x7e)\n"
                          "t.map(2:5) warning SV0040: Inconsistent informations.\n"
                          "\t0 errors, 3 warnings\r\n\r\n");
    EXPECT_EQ(run.mp2, quiet);
    EXPECT_NE(quiet.find("0068H   0005H   BYTE    B\r\n"), std::string::npos);
}

TEST(SymvexReaders, TwentyErrorsBeforeTheReadersStopThemAtTheirNextDiagnostic) {
    std::vector<std::string> args;
    for (int i = 0; i < 20; ++i)
        args.push_back("-x");
    args.insert(args.end(), {"out.mp2", "t.lst", "t.map"});
    std::string expected;
    for (int i = 0; i < 20; ++i)
        expected += " error SV0002: Invalid command-line option. : -x\n";

    // A listing without a diagnostic is read; the run ends with its summary.
    TempDir dir;
    writeFile(dir.file("t.lst"), "Symbols:\r\nCNT . . Word 0002 DATA1\r\n");
    writeFile(dir.file("t.map"), "");
    SymvexRun run = runSymvex(dir, args);
    EXPECT_EQ(run.status, testsupport::FailureStatus);
    EXPECT_EQ(run.output, expected + "\t20 errors\r\n\r\n");
    EXPECT_NE(run.mp2.find("0068H   0002H   WORD    CNT\r\n"), std::string::npos);

    // A warning (printed or not) now stops the listing reader: no summary, no file.
    writeFile(dir.file("t.lst"), "Symbols:\r\nCNT . . Word 0002 DATA1\r\nX . . L Near 0 CODE4\r\n");
    std::remove(dir.file("out.mp2").c_str());
    run = runSymvex(dir, args);
    EXPECT_EQ(run.status, testsupport::FailureStatus);
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.mp2, "<none>");

    // The same for the map reader.
    writeFile(dir.file("t.lst"), "Symbols:\r\nCNT . . Word 0002 DATA1\r\n");
    writeFile(dir.file("t.map"), "0:4 CNT\r\n");
    run = runSymvex(dir, args);
    EXPECT_EQ(run.status, testsupport::FailureStatus);
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.mp2, "<none>");
}

TEST(SymvexReaders, BadInputGivesWarningsNeverACrash) {
    std::string noise;
    for (int i = 0; i < 200000; ++i)
        noise += static_cast<char>((i * 2654435761u) >> 13);
    const std::string longLine = "Symbols:\r\n" + std::string(1 << 20, 'x') + "\r\n";
    for (const std::string& listing : {noise, longLine, noise.substr(0, 1023)}) {
        const SymvexRun run = runOn(listing, noise);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, "\t0 errors\r\n\r\n");
    }
}

TEST(SymvexRealData, JemmStubListingGivesItsStructureAndConstants) {
    TempDir dir;
    writeFile(dir.file("empty.map"), "");
    const SymvexRun run =
        runSymvex(dir, {"out.mp2", testsupport::testDataDir() + "/symmap/JLSTUB.lst", "empty.map"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t0 errors\r\n\r\n");
    EXPECT_EQ(run.mp2, readFile(testsupport::testDataDir() + "/symmap/JLSTUB.mp2"));
}

// Numbers that the assembler writes letter first (every value from A000 up) reach the map:
// a structure variable's address, a variable's address with its h, and constants' values.
TEST(SymvexReaders, NumbersThatBeginWithALetterReachTheSymbolMap) {
    const SymvexRun run = runOn("Structures and Unions:\r\n"
                                "AXIS_S . . . . . . . . 0008\r\n"
                                "  POS  . . . . . . . . 0000  DWord\r\n"
                                "Symbols:\r\n"
                                "AXIS_HI  . . . . . . . AXIS_S  A000  DATA_USR\r\n"
                                "COUNT  . . . . . . . . Word  FFFEh  DATAROZ\r\n"
                                "KernalA000 . . . . . . Number A003h\r\n"
                                "MASK . . . . . . . . . Number FFh\r\n",
                                "", true);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t0 errors, 0 warnings\r\n\r\n");
    EXPECT_EQ(run.mp2, "$MP2 02\r\n"
                       "\r\n[SYMBOL_TABLE 2]\r\n;Sel    Addr    Type    Symbol\r\n"
                       "00a0H   a000H   BYTE    AXIS_HI\r\n"
                       "0160H   fffeH   WORD    COUNT\r\n"
                       "\r\n[BIT_FIELDS 0]\r\n;Bit                           Location\r\n"
                       "\r\n[STRUCTURE_OFFSETS 1]\r\n;Name                          Offset\r\n"
                       "POS                            0000\r\n"
                       "\r\n[BIT_WEIGHTS 0]\r\n;Bit                           Weight\r\n"
                       "\r\n[CONSTANTS 2]\r\n;Name                          Value\r\n"
                       "KernalA000                     0000a003\r\n"
                       "MASK                           000000ff\r\n");
}

// A real listing with hundreds of constants written letter first ("FFh", "C0000005h"): each
// constant line with dot leaders is in the map with its value, read here from the listing's
// own text, independently of the scanner.
TEST(SymvexRealData, LetterFirstConstantsOfARealListingAreAllInTheMap) {
    const std::string root = testsupport::realDataDir();
    if (root.empty())
        GTEST_SKIP() << "no real data beside the checkout";
    TempDir dir;
    writeFile(dir.file("empty.map"), "");
    const std::string listingPath = root + "/asmc/_lseeki64.lst";
    const SymvexRun run = runSymvex(dir, {"out.mp2", listingPath, "empty.map"});
    ASSERT_EQ(run.status, 0);
    const std::string listing = readFile(listingPath);
    const std::size_t constants = run.mp2.find("[CONSTANTS");
    ASSERT_NE(constants, std::string::npos);
    int checked = 0;
    int missing = 0;
    for (std::size_t at = 0; at < listing.size();) {
        std::size_t end = listing.find('\n', at);
        if (end == std::string::npos)
            end = listing.size();
        const std::string line = listing.substr(at, end - at);
        at = end + 1;
        // NAME, blanks and dot leaders, "Number", the value with its h.
        const std::size_t dots = line.find(" . ");
        const std::size_t number = line.find(" Number ");
        if (line.empty() || line[0] == ' ' || dots == std::string::npos ||
            number == std::string::npos || dots > number)
            continue;
        const std::size_t first = line.find_first_not_of(' ', number + 8);
        const std::size_t last = line.find_first_of(" \r", first);
        const std::string value = line.substr(first, last - first);
        if (value.size() < 2 || !std::isxdigit(static_cast<unsigned char>(value[0])) ||
            std::isdigit(static_cast<unsigned char>(value[0])) ||
            (value.back() != 'h' && value.back() != 'H'))
            continue;
        char row[64];
        const unsigned long long parsed =
            std::stoull(value.substr(0, value.size() - 1), nullptr, 16);
        std::snprintf(row, sizeof row, " %08llx\r\n", parsed & 0xFFFFFFFFull);
        const std::string name = line.substr(0, line.find(' '));
        const std::string expected =
            "\r\n" + name + std::string(name.size() < 30 ? 30 - name.size() : 0, ' ') + row;
        ++checked;
        if (run.mp2.find(expected, constants) == std::string::npos) {
            ++missing;
            ADD_FAILURE() << "not in the map: " << line;
        }
    }
    EXPECT_EQ(checked, 270);
    EXPECT_EQ(missing, 0);
}

TEST(SymvexRealData, SnakeListingGivesOnlyItsConstants) {
    const std::string root = testsupport::realDataDir();
    if (root.empty())
        GTEST_SKIP() << "no real data beside the checkout";
    TempDir dir;
    writeFile(dir.file("empty.map"), "");
    const SymvexRun run = runSymvex(dir, {"out.mp2", root + "/snakeasm/snake.lst", "empty.map"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t0 errors\r\n\r\n");
    EXPECT_EQ(run.mp2, readFile(testsupport::testDataDir() + "/symmap/snake.mp2"));
}

// A 64-bit FNV-1a fingerprint: the whole output of a run on a file too large to keep beside
// the test, compared at once.
std::uint64_t fingerprint(const std::string& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 0x100000001b3u;
    return hash;
}

// Every real listing, with a real map, in warnings mode (maps also read as listings): the
// whole standard output (the data folder named "<data>") and the whole .mp2 file, as
// fingerprints of the bytes an earlier run gave.
TEST(SymvexRealData, EveryRealListingGivesItsKnownOutputs) {
    const std::string root = testsupport::realDataDir();
    if (root.empty())
        GTEST_SKIP() << "no real data beside the checkout";
    struct Case {
        const char* listing;
        const char* map;
        std::uint64_t output;
        std::uint64_t mp2;
    };
    const Case cases[] = {
        {"masm500/22.LST", "masm500/22.MAP", 0x1145E2275BCD1BBAu, 0x208C234B63894D2Du},
        {"masm125/DAC1.LST", "masm125/DAC1.MAP", 0xC5B1439914D4A4D6u, 0x39BEA23347BFC3CBu},
        {"masm125/RE.LST", "masm125/RE.MAP", 0x46433761CAEA9C02u, 0x208C234B63894D2Du},
        {"causeway/CWEM.lst", "pcmos/jim/$$MOS.MAP", 0xBF26C28C837AC036u, 0x3785FB352330598Cu},
        {"causeway/CWEMj.lst", "pcmos/mos5src/DEBUG.MAP", 0x005870884743CB15u, 0x69014199F2C717D0u},
        {"asmc/_lseeki64.lst", "secondreality/PLZPART/PLZPART.MAP", 0x279E6EEEA459488Cu,
         0xBB99540935602900u},
        {"asmlib/MYLIB.LST", "asmlib/TEST.MAP", 0xE8CBE519DD7E4743u, 0xB7E70BA3D0BA6854u},
        {"spellit/MAIN.LST", "secondreality/PAM/PAM.MAP", 0x46F8E0DB8011A268u, 0x4C56908442BC7D51u},
        {"secondreality/LENS/ASM.LST", "secondreality/LENS/ASM.MAP", 0x3A04CFCCA879E030u,
         0x208C234B63894D2Du},
        {"causeway/CWMAKE.lst", "pcmos/cutils/EXPORT.MAP", 0x5A25916093A46374u,
         0x8652267C02D173BFu},
        {"jemm/JLSTUB.lst", "secondreality/GLENZ/V.MAP", 0x11E360DF2996E2DFu, 0x17238F07B4912601u},
        {"spellit/MDAT.LST", "pcmos/import/IMPORT.MAP", 0xE28EA14CFA6EEBF1u, 0x208C234B63894D2Du},
        {"spellit/SOUND.LST", "pcmos/cutils/GENMBR.MAP", 0x87343B900D747BA2u, 0x208C234B63894D2Du},
        {"snakeasm/snake.lst", "secondreality/LENS/LENS.MAP", 0x6B99BEEE964B95FAu,
         0x6A75C52E50E21919u},
        {"pcmos/mos5src/DEBUG.MAP", "pcmos/mos5src/COMPFILE.MAP", 0x2343937F8D464952u,
         0x208C234B63894D2Du},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const SymvexRun run =
            runSymvex(dir, {"/w", "out.mp2", root + "/" + c.listing, root + "/" + c.map});
        std::string output = run.output;
        for (std::size_t at; (at = output.find(root)) != std::string::npos;)
            output.replace(at, root.size(), "<data>");
        EXPECT_EQ(run.status, 0) << c.listing;
        EXPECT_EQ(fingerprint(output), c.output) << c.listing;
        EXPECT_EQ(fingerprint(run.mp2), c.mp2) << c.listing;
    }
}

TEST(SymvexReaders, EmptyListingAndMapGiveAnEmptySymbolMap) {
    const SymvexRun run = runOn("", "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.mp2, emptyMp2());
}

} // namespace
