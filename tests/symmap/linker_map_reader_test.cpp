#include "reader_test_support.h"

#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

using readertest::DiagnosticsScope;
using readertest::readListingAndMap;

namespace {

const char* const PublicListing = "Structures and Unions:\n"
                                  "AXIS_S . . . 0008\n"
                                  "  POS  . . . 0000 DWord\n"
                                  "Records:\n"
                                  "IO_BITS  . . 0008 0001\n"
                                  "?READY . . . 0000 0001 0001 0000\n"
                                  "Symbols:\n"
                                  "Cnt  . . . . Word 0000 DATA1 Public\n"
                                  "AXIS1  . . . AXIS_S 0000 DATA_USR Public\n"
                                  "IO1  . . . . IO_BITS 0000 DATA_COM Public\n"
                                  "LOCALV . . . Byte 0012 DATA1\n"
                                  "LIMIT  . . . Number 0000 Public\n"
                                  "FIXED  . . . Number 0005\n"
                                  "abs  . . . . Byte 0000 DATAROZ External\n";

TEST(LinkerMap, PublicAddressesAndAbsoluteValuesAreFilledIn) {
    DiagnosticsScope diagnostics;
    const auto result =
        readListingAndMap(PublicListing, " Start  Stop   Length Name               Class\r\n"
                                         " 00000H 001FFH 00200H CODE4              CODE\r\n"
                                         "\r\n"
                                         "  Address         Publics by Name\r\n"
                                         "\r\n"
                                         " 0230:0010       CNT\r\n"
                                         " 0500:0010       cnt extra tokens 1234\r\n"
                                         " 0240:0020       Axis1\r\n"
                                         " 0230:0030       IO1\r\n"
                                         " 0000:0004  ABS  limit\r\n"
                                         " 0240:0012       LOCALV\r\n"
                                         " 0240:0040       UNKNOWN\r\n"
                                         " 0240:0050  abs\r\n"
                                         " 0240:0050  Abs  Abs\r\n"
                                         "\r\n"
                                         "Program entry point at 0000:0000\r\n");
    EXPECT_TRUE(result.ok);
    // The variable named abs is reached only behind the keyword, and then does not fit.
    EXPECT_EQ(result.output, "t.map(14:18) warning SV0040: Inconsistent informations.\n"
                             " warning SV0034: Public symbol not found in the map. : abs\n");
    EXPECT_EQ(result.dump, "abs Byte v=160 a=0\n"
                           "AXIS1 Struct v=a0 a=20 children=AXIS_S\n"
                           "AXIS_S StructDef v=8 a=0 children=POS\n"
                           "Cnt Word v=68 a=10\n"
                           "FIXED Const v=5 a=0\n"
                           "IO1 Record v=30 a=30 children=IO_BITS\n"
                           "IO_BITS RecordDef v=1 a=0 link=IO1 children=READY\n"
                           "LIMIT Const v=4 a=0\n"
                           "LOCALV Byte v=68 a=12\n"
                           "POS DWord member v=0 a=0 link=AXIS_S\n"
                           "READY Bit v=0 a=0 link=IO_BITS\n");
}

TEST(LinkerMap, HexadecimalPartsThatBeginWithALetter) {
    const auto result = readListingAndMap(PublicListing, "F000:A010 Cnt\n"
                                                         "0:0 Abs Abs\n"
                                                         "0000:0:IO1\n"
                                                         "0000 0010 AXIS1\n"
                                                         "0000:FF00h LOCALV\n"
                                                         "BEEF:DEAD Abs FACE\n");
    // "0:0 Abs Abs" finds the byte variable named abs; an Abs line for a variable does not fit.
    // "0000 0010 AXIS1" lacks its colon and "BEEF:DEAD Abs FACE" names nothing: both change
    // nothing.
    EXPECT_EQ(result.dump, "abs Byte v=160 a=0\n"
                           "AXIS1 Struct v=a0 a=0 children=AXIS_S\n"
                           "AXIS_S StructDef v=8 a=0 children=POS\n"
                           "Cnt Word v=68 a=a010\n"
                           "FIXED Const v=5 a=0\n"
                           "IO1 Record v=30 a=0 children=IO_BITS\n"
                           "IO_BITS RecordDef v=1 a=0 link=IO1 children=READY\n"
                           "LIMIT Const v=0 a=0\n"
                           "LOCALV Byte v=68 a=12\n"
                           "POS DWord member v=0 a=0 link=AXIS_S\n"
                           "READY Bit v=0 a=0 link=IO_BITS\n");
}

TEST(LinkerMap, SightingsThatDoNotFitGiveMessage40AndChangeNothing) {
    DiagnosticsScope diagnostics;
    const auto result = readListingAndMap(PublicListing, "0001:0010 Cnt\n"
                                                         "0002:0010 Cnt\n"
                                                         "0002:0011 Cnt\n"
                                                         "0000:0000 Abs LIMIT\n"
                                                         "0000:0007 Abs LIMIT\n"
                                                         "0000:0005 Abs FIXED\n"
                                                         "0000:0007 LIMIT\n"
                                                         "0000:0007 Abs LOCALV\n"
                                                         "0000:0007 POS\n"
                                                         "0000:0007 READY\n"
                                                         "0000:0007 IO_BITS\n"
                                                         "0000:0007 AXIS_S\n"
                                                         "0000:0007 Abs LIMIT\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "t.map(3:11) warning SV0040: Inconsistent informations.\n"
                             "t.map(6:15) warning SV0040: Inconsistent informations.\n"
                             "t.map(7:11) warning SV0040: Inconsistent informations.\n"
                             "t.map(8:15) warning SV0040: Inconsistent informations.\n"
                             "t.map(10:11) warning SV0040: Inconsistent informations.\n"
                             "t.map(11:11) warning SV0040: Inconsistent informations.\n"
                             "t.map(12:11) warning SV0040: Inconsistent informations.\n"
                             "t.map(13:15) warning SV0040: Inconsistent informations.\n"
                             " warning SV0034: Public symbol not found in the map. : abs\n"
                             " warning SV0034: Public symbol not found in the map. : AXIS1\n"
                             " warning SV0034: Public symbol not found in the map. : IO1\n");
    EXPECT_NE(result.dump.find("Cnt Word v=68 a=10\n"), std::string::npos);
    EXPECT_NE(result.dump.find("LIMIT Const v=7 a=0\n"), std::string::npos);
    EXPECT_NE(result.dump.find("FIXED Const v=5 a=0\n"), std::string::npos);
    // A structure member is located like a variable of its kind.
    EXPECT_NE(result.dump.find("POS DWord member v=0 a=7 "), std::string::npos);
}

// After the last line: each public symbol the map left as it was is named, in name order;
// a map that completed none of them is no map of the listing. A sighting that draws message
// 40 completes nothing, one of value or address 0 does.
TEST(LinkerMap, PublicSymbolsTheMapLeavesOutAreNamed) {
    DiagnosticsScope diagnostics;
    auto result = readListingAndMap(PublicListing, "0000:0000 Abs LIMIT\n"
                                                   "0000:0000 CNT\n"
                                                   "0000:0007 Abs AXIS1\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "t.map(3:15) warning SV0040: Inconsistent informations.\n"
                             " warning SV0034: Public symbol not found in the map. : abs\n"
                             " warning SV0034: Public symbol not found in the map. : AXIS1\n"
                             " warning SV0034: Public symbol not found in the map. : IO1\n");

    for (const char* map : {"", "0000:0007 FIXED\n0000:0010 UNKNOWN\n"}) {
        result = readListingAndMap(PublicListing, map);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.output.substr(result.output.find(" critical")),
                  " critical error SV0018: Map names no public symbol of the listing. : t.map\n");
    }
}

TEST(LinkerMap, EmptyMapOrMapOfOtherLinesChangesNothing) {
    const auto before = readertest::readListingText(PublicListing);
    EXPECT_EQ(readListingAndMap(PublicListing, "").dump, before.dump);
    EXPECT_EQ(
        readListingAndMap(PublicListing, "Cnt 0001:0010\n:0010 Cnt\n0001:Cnt\n0001 : 0010 + Cnt\n")
            .dump,
        before.dump);
}

} // namespace

namespace {

TEST(ExampleProject, ListingAndMapGiveTheProjectsSymbols) {
    DiagnosticsScope diagnostics;
    const std::string root = testsupport::testDataDir() + "/../../examples/";
    const auto result = readListingAndMap(testsupport::readFile(root + "plc.lst"),
                                          testsupport::readFile(root + "KORVEX.map"));
    EXPECT_TRUE(result.ok);
    // The page break draws message 8 and the procedure label message 32; the second sighting
    // of the public constant (publics by value) draws message 40.
    EXPECT_EQ(result.output, "t.lst(22:1) warning SV0008: Invalid character. : '\f' (0x0c)\n"
                             "t.lst(102:37) warning SV0032: Expect structure or record name. : L\n"
                             "t.map(43:18) warning SV0040: Inconsistent informations.\n");
    EXPECT_EQ(result.dump,
              "@Model Const v=2 a=0\n"
              "AXIS_S StructDef v=8 a=0 children=POS,SPEED,STATE,MODE\n"
              "AXIS_X Struct v=a0 a=0 children=AXIS_S\n"
              "AXIS_Y Struct v=a0 a=8 children=AXIS_S\n"
              "BIT_MASK Const v=80 a=0\n"
              "BUSY Bit v=2 a=0 link=IO_BITS\n"
              "CYCLE_COUNT Word v=a0 a=10\n"
              "DOOR_IO Record v=30 a=0 children=IO_BITS\n"
              "ERROR_CODE Word v=30 a=4\n"
              "FAULT Bit v=1 a=0 link=IO_BITS\n"
              "HIST QWord v=68 a=8\n"
              "IO_BITS RecordDef v=3 a=0 link=PANEL_IO children=READY,FAULT,BUSY\n"
              "KEYS Record v=a0 a=20 children=KEY_BITS\n"
              "KEY_BITS RecordDef v=3 a=0 link=KEYS children=KEY_START,KEY_STOP,KEY_RESET\n"
              "KEY_RESET Bit v=7 a=0 link=KEY_BITS\n"
              "KEY_START Bit v=0 a=0 link=KEY_BITS\n"
              "KEY_STOP Bit v=1 a=0 link=KEY_BITS\n"
              "MAX_AXES Const v=2 a=0\n"
              "MODE Byte member v=7 a=0 link=AXIS_S\n"
              "MODULE_BLOCK_DONE Byte v=68 a=1\n"
              "MODULE_BLOCK_INIT Byte v=68 a=0\n"
              "PANEL_IO Record v=30 a=2 children=IO_BITS\n"
              "PLC_VERSION Const v=104 a=0\n"
              "POS DWord member v=0 a=0 link=AXIS_S\n"
              "READY Bit v=0 a=0 link=IO_BITS\n"
              "ROZ_LIMIT Word v=160 a=0\n"
              "ROZ_TABLE Byte v=160 a=2\n"
              "SPARE0 Bit v=0 a=0 link=SPARE_BITS\n"
              "SPARE_BITS RecordDef v=1 a=0 children=SPARE0\n"
              "SPEED Word member v=4 a=0 link=AXIS_S\n"
              "SPINDLE_DRV Mech v=68 a=6\n"
              "STATE Byte member v=6 a=0 link=AXIS_S\n"
              "TIMER_MS DWord v=68 a=2\n"
              "TLIFE DWord member v=2 a=0 link=TOOL_S\n"
              "TNUM Word member v=0 a=0 link=TOOL_S\n"
              "TOFFS Word member v=a a=0 link=TOOL_S\n"
              "TOOL_S StructDef v=c a=0 children=TNUM,TLIFE,TOFFS\n");
}

} // namespace
