// Symvex run end to end on listings and maps: standard output (banner masked), exit status
// and the bytes of the .mp2 file.
#include "symvex_e2e.h"
#include "test_support.h"

#include <algorithm>
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
    EXPECT_EQ(run.output, symvextest::ExampleNote + "\t0 errors\r\n\r\n");
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
    // LOST is not in the map (message 34).
    EXPECT_EQ(run.output, "\t1 warnings; /w lists them\r\n\t0 errors\r\n\r\n");
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
    EXPECT_EQ(run.output, "\t3 warnings; /w lists them\r\n\t0 errors\r\n\r\n");
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
    // Noise holds no symbol tables; a symbols table of one overlong name is read to its end,
    // and the map of noise gives warnings.
    for (const std::string& listing : {noise, noise.substr(0, 1023)}) {
        const SymvexRun run = runOn(listing, noise);
        EXPECT_EQ(run.status, testsupport::FailureStatus);
        EXPECT_EQ(run.output, " critical error SV0016: Listing has no symbol tables. : t.lst\n");
    }
    const SymvexRun run = runOn(longLine, noise);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t125780 warnings; /w lists them\r\n\t0 errors\r\n\r\n");
}

TEST(SymvexRealData, JemmStubListingGivesItsStructureAndConstants) {
    TempDir dir;
    writeFile(dir.file("empty.map"), "");
    const SymvexRun run =
        runSymvex(dir, {"out.mp2", testsupport::testDataDir() + "/symmap/JLSTUB.lst", "empty.map"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t20 warnings; /w lists them\r\n\t0 errors\r\n\r\n");
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
    EXPECT_EQ(run.output, "\t6 warnings; /w lists them\r\n\t0 errors\r\n\r\n");
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
        {"masm500/22.LST", "masm500/22.MAP", 0x67E2BB9C3BAE931Eu, 0x208C234B63894D2Du},
        {"masm125/DAC1.LST", "masm125/DAC1.MAP", 0x70E0D3C4E1DAFB0Au, 0x39BEA23347BFC3CBu},
        {"masm125/RE.LST", "masm125/RE.MAP", 0x288629D3CA8CFD9Bu, 0x208C234B63894D2Du},
        {"causeway/CWEM.lst", "pcmos/jim/$$MOS.MAP", 0xC5C9288F0B3BEEC1u, 0x25E14BBD1EC60E4Au},
        {"causeway/CWEMj.lst", "pcmos/mos5src/DEBUG.MAP", 0xA5A293FC6B9D276Au, 0x25E14BBD1EC60E4Au},
        {"asmc/_lseeki64.lst", "secondreality/PLZPART/PLZPART.MAP", 0xAA477A3F5DB6530Eu,
         0x5868443C288093EBu},
        {"asmlib/MYLIB.LST", "asmlib/TEST.MAP", 0x2938E4946B2EFB01u, 0xB7E70BA3D0BA6854u},
        {"spellit/MAIN.LST", "secondreality/PAM/PAM.MAP", 0xC85262FEF44B1AD8u, 0x4C56908442BC7D51u},
        {"secondreality/LENS/ASM.LST", "secondreality/LENS/ASM.MAP", 0x3E862FFBA4DBE2BCu,
         0x77621236764FD319u},
        {"causeway/CWMAKE.lst", "pcmos/cutils/EXPORT.MAP", 0x722A362662FB2799u,
         0x8652267C02D173BFu},
        {"jemm/JLSTUB.lst", "secondreality/GLENZ/V.MAP", 0xE19BB2065B27B441u, 0x724A8227B0290B50u},
        {"spellit/MDAT.LST", "pcmos/import/IMPORT.MAP", 0x90883587F0F90721u, 0x208C234B63894D2Du},
        {"spellit/SOUND.LST", "pcmos/cutils/GENMBR.MAP", 0xA8B7B40D8D3880CBu, 0x208C234B63894D2Du},
        {"snakeasm/snake.lst", "secondreality/LENS/LENS.MAP", 0x9E2562C95735497Cu,
         0x6A75C52E50E21919u},
        {"pcmos/mos5src/DEBUG.MAP", "pcmos/mos5src/COMPFILE.MAP", 0xA87BCD915DB75752u,
         0x77621236764FD319u},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const SymvexRun run =
            runSymvex(dir, {"/w", "out.mp2", root + "/" + c.listing, root + "/" + c.map});
        // Built anew in one pass: tens of thousands of messages name the data folder.
        std::string output;
        for (std::size_t at = 0;;) {
            const std::size_t next = run.output.find(root, at);
            output.append(run.output, at, next == std::string::npos ? next : next - at);
            if (next == std::string::npos)
                break;
            output += "<data>";
            at = next + root.size();
        }
        // A listing of another assembler, and a map read as a listing, have no symbol tables.
        const bool foreign = c.mp2 == fingerprint("<none>");
        EXPECT_EQ(run.status, foreign ? testsupport::FailureStatus : 0) << c.listing;
        EXPECT_EQ(fingerprint(output), c.output) << c.listing;
        EXPECT_EQ(fingerprint(run.mp2), c.mp2) << c.listing;
    }
}

// One row of a listing's cross-reference table, read by the table's layout: the name that
// begins the line (blanks in front for a structure member or a record field, more for the
// members of a nested one), then, past blanks, tabs and dot leaders, the columns between
// blanks and tabs.
struct TableRow {
    std::string name;
    bool indented = false;
    std::vector<std::string> columns;
};

bool readTableRow(std::string line, TableRow& row) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || line[indent] == '\t')
        return false;
    std::size_t at = line.find_first_of(" \t.", indent);
    row.name = line.substr(indent, at - indent);
    row.indented = indent != 0;
    row.columns.clear();
    at = line.find_first_not_of(" \t.", at);
    while (at != std::string::npos) {
        const std::size_t end = line.find_first_of(" \t", at);
        row.columns.push_back(line.substr(at, end - at));
        at = line.find_first_not_of(" \t", end);
    }
    return !row.name.empty() && !row.columns.empty();
}

// A number column: hexadecimal digits with an optional h, a minus sign directly in front
// negating it modulo 2^32.
bool readColumnNumber(std::string text, std::uint32_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        text.erase(0, 1);
    if (!text.empty() && (text.back() == 'h' || text.back() == 'H'))
        text.pop_back();
    if (text.empty() || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    std::uint32_t number = 0;
    for (char c : text)
        number =
            number * 16 + static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                                         ? c - '0'
                                                         : (std::toupper(c) - 'A' + 10));
    value = negative ? 0u - number : number;
    return true;
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A name-and-value row of the .mp2 file.
std::string mp2Row(const std::string& name, const std::string& value) {
    return "\r\n" + name + std::string(name.size() < 31 ? 31 - name.size() : 1, ' ') + value +
           "\r\n";
}

// Every row of every real listing's structures, records and symbols tables, read here by
// the tables' layout, is in the .mp2 with its name and value, or named by a warning (30, 33,
// 34) under /w: all but the rows the .mp2 has no place for (text macros, labels and
// procedures, variables outside the four data segments, structure and record definitions,
// fields of records that no variable holds). Each listing is read with an empty map, or with
// its own where it has one, and every name in the .mp2's members and constants is a
// listing's.
TEST(SymvexRealData, EveryTableRowOfEveryRealListingReachesTheMapOrAWarning) {
    const std::string root = testsupport::realDataDir();
    if (root.empty())
        GTEST_SKIP() << "no real data beside the checkout";
    const char* const listings[] = {
        "asmc/_lseeki64.lst",  "asmlib/MYLIB.LST",   "causeway/CWEM.lst", "causeway/CWEMj.lst",
        "causeway/CWMAKE.lst", "jemm/JLSTUB.lst",    "masm125/DAC1.LST",  "masm125/RE.LST",
        "masm500/22.LST",      "snakeasm/snake.lst", "spellit/MAIN.LST",  "spellit/MDAT.LST",
        "spellit/SOUND.LST",
    };
    int inMap = 0;
    int warned = 0;
    int missing = 0;
    for (const char* name : listings) {
        const std::string path = root + "/" + name;
        TempDir dir;
        std::string mapPath = path.substr(0, path.rfind('.')) + ".MAP";
        if (!testsupport::fileExists(mapPath)) {
            mapPath = dir.file("empty.map");
            writeFile(mapPath, "");
        }
        const SymvexRun run = runSymvex(dir, {"/w", "out.mp2", path, mapPath});
        ASSERT_EQ(run.status, 0) << name << "\n" << run.output;
        std::vector<std::string> warnedNames;
        for (std::size_t at = 0; at < run.output.size();) {
            std::size_t end = run.output.find('\n', at);
            end = end == std::string::npos ? run.output.size() : end;
            const std::string line = run.output.substr(at, end - at);
            at = end + 1;
            const std::size_t extra = line.find(": ", line.find("SV00") + 8);
            for (const char* code : {"SV0030", "SV0033", "SV0034"}) {
                if (line.find(code) != std::string::npos && extra != std::string::npos)
                    warnedNames.push_back(line.substr(extra + 2));
            }
        }

        // The tables by the listing's layout: types defined first, then every row checked.
        const std::string listing = readFile(path);
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < listing.size();) {
            std::size_t end = listing.find('\n', at);
            end = end == std::string::npos ? listing.size() : end;
            lines.push_back(listing.substr(at, end - at));
            at = end + 1;
        }
        enum class Table { None, Structures, Records, Symbols };
        std::vector<std::string> typeNames;
        std::vector<std::string> heldRecords; // record types of a variable that the map lists
        std::vector<std::string> listingNames;
        for (int pass = 0; pass < 2; ++pass) {
            Table table = Table::None;
            std::string record;
            for (const std::string& text : lines) {
                const std::string head = text.substr(0, text.find_last_not_of(" \r") + 1);
                if (head == "Structures and Unions:" || head == "Records:" || head == "Symbols:" ||
                    head == "Macros:" || head == "Segments and Groups:" ||
                    head == "Procedures, Parameters and Locals:") {
                    table = head[0] == 'S' && head[1] == 't' ? Table::Structures
                            : head[0] == 'R'                 ? Table::Records
                            : head == "Symbols:"             ? Table::Symbols
                                                             : Table::None;
                    continue;
                }
                TableRow row;
                if (table == Table::None || !readTableRow(text, row) || row.name == "N" ||
                    (table == Table::Symbols && row.indented))
                    continue;
                const std::string type = upper(row.columns[0]);
                std::string expected;
                if (table == Table::Structures || table == Table::Records) {
                    // A definition stands at the line's start, or, nested, has its size (or
                    // width and field count) and no more.
                    if (!row.indented ||
                        row.columns.size() == (table == Table::Structures ? 1u : 2u)) {
                        typeNames.push_back(upper(row.name));
                        record = upper(row.name);
                        continue;
                    }
                    std::uint32_t number = 0;
                    if (!readColumnNumber(row.columns[0], number))
                        continue;
                    char value[16];
                    if (table == Table::Structures) {
                        std::snprintf(value, sizeof value, "%04d", static_cast<int>(number));
                    } else {
                        if (std::find(heldRecords.begin(), heldRecords.end(), record) ==
                            heldRecords.end())
                            continue; // no variable holds the field
                        std::snprintf(value, sizeof value, "%02u", number & 0xFFu);
                    }
                    expected = mp2Row(row.name, value);
                } else if (type == "NUMBER" && row.columns.size() > 1) {
                    std::uint32_t number = 0;
                    char value[16] = "?";
                    if (readColumnNumber(row.columns[1], number))
                        std::snprintf(value, sizeof value, "%08x", number);
                    expected = mp2Row(row.name, value);
                } else if ((type == "BYTE" || type == "WORD" || type == "DWORD" ||
                            type == "QWORD" || type.rfind("MECH_", 0) == 0 ||
                            std::find(typeNames.begin(), typeNames.end(), type) !=
                                typeNames.end()) &&
                           row.columns.size() > 2) {
                    const std::string segment = upper(row.columns[2]);
                    if (segment != "DATA_COM" && segment != "DATA1" && segment != "DATA_USR" &&
                        segment != "DATAROZ")
                        continue; // no place in the map
                    heldRecords.push_back(type);
                    // "0068H   001aH   WORD    CNT": the address at the row's ninth column.
                    std::uint32_t number = 0;
                    char value[16] = "?";
                    if (readColumnNumber(row.columns[1], number))
                        std::snprintf(value, sizeof value, "%04xH", number);
                    const std::size_t at = run.mp2.find("   " + row.name + "\r\n");
                    const std::size_t start = run.mp2.rfind('\n', at) + 1;
                    expected = at != std::string::npos && run.mp2.compare(start + 8, 5, value) == 0
                                   ? run.mp2.substr(start, at - start)
                                   : std::string("\n?");
                } else {
                    continue; // text macros, labels, procedures
                }
                if (pass == 0)
                    continue;
                listingNames.push_back(row.name);
                if (run.mp2.find(expected) != std::string::npos) {
                    ++inMap;
                } else if (std::find(warnedNames.begin(), warnedNames.end(), row.name) !=
                           warnedNames.end()) {
                    ++warned;
                } else {
                    ++missing;
                    ADD_FAILURE() << name << ": neither in the map nor warned: " << text;
                }
            }
        }
        // No row of the members or constants that the listing does not have.
        const std::size_t members = run.mp2.find("[STRUCTURE_OFFSETS");
        for (std::size_t at = run.mp2.find("\r\n", members) + 2;
             members != std::string::npos && at < run.mp2.size();) {
            const std::size_t end = std::min(run.mp2.find("\r\n", at), run.mp2.size());
            const std::string rowName = run.mp2.substr(at, run.mp2.find(' ', at) - at);
            at = end + 2;
            if (rowName.empty() || rowName[0] == ';' || rowName[0] == '[' || rowName[0] == '\r')
                continue;
            EXPECT_NE(std::find(listingNames.begin(), listingNames.end(), rowName),
                      listingNames.end())
                << name << ": " << rowName;
        }
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(inMap, 4570);
    EXPECT_EQ(warned, 165);
}

TEST(SymvexReaders, EmptyListingAndMapGiveAnEmptySymbolMap) {
    const SymvexRun run = runOn("Symbols:\r\n", "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.mp2, emptyMp2());
}

// Input that is no listing and map of one build fails the run: no summary, and a symbol map
// written before stays as it was.
TEST(SymvexReaders, WrongInputIsNoSuccess) {
    TempDir dir;
    const std::string listing = readFile(examplePath("plc.lst"));
    const std::string map = readFile(examplePath("KORVEX.map"));
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("Symbols:\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    writeFile(dir.file("plc.lst"), listing);
    writeFile(dir.file("KORVEX.map"), map);
    writeFile(dir.file("empty"), "");
    writeFile(dir.file("utf16"), utf16);
    writeFile(dir.file("be16"), "\xFE\xFF" + map);
    writeFile(dir.file("other.map"), " 0000:0004  Abs  OTHER\r\n");
    writeFile(dir.file("out.mp2"), emptyMp2());
    const std::string critical = " critical error SV00";
    const struct {
        const char* listing;
        const char* map;
        std::string message;
    } cases[] = {
        {"KORVEX.map", "plc.lst", "16: Listing has no symbol tables. : KORVEX.map"},
        {"empty", "KORVEX.map", "16: Listing has no symbol tables. : empty"},
        {"utf16", "KORVEX.map", "17: Input saved as UTF-16. : utf16"},
        {"plc.lst", "be16", "17: Input saved as UTF-16. : be16"},
        {"plc.lst", "utf16", "17: Input saved as UTF-16. : utf16"},
        {"plc.lst", "empty", "18: Map names no public symbol of the listing. : empty"},
        {"plc.lst", "other.map", "18: Map names no public symbol of the listing. : other.map"},
    };
    for (const auto& c : cases) {
        const SymvexRun run = runSymvex(dir, {"out.mp2", c.listing, c.map});
        EXPECT_EQ(run.status, testsupport::FailureStatus) << c.listing << " " << c.map;
        EXPECT_EQ(run.output, critical + c.message + "\n");
        EXPECT_EQ(run.mp2, emptyMp2());
    }
    // A UTF-8 mark is no UTF-16 one: three invalid characters, counted and noted.
    writeFile(dir.file("utf8.lst"), "\xEF\xBB\xBF" + listing);
    const SymvexRun run = runSymvex(dir, {"out.mp2", "utf8.lst", "KORVEX.map"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "\t6 warnings; /w lists them\r\n\t0 errors\r\n\r\n");
    EXPECT_EQ(run.mp2, readFile(examplePath("plc.mp2")));
}

} // namespace
