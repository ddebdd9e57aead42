#include "reader_test_support.h"

#include <gtest/gtest.h>
#include <string>

using readertest::DiagnosticsScope;
using readertest::readListingText;

namespace {

const char* const ExampleListing =
    "Structures and Unions:\r\n"
    "AXIS_S . . . . . . . . 0008\r\n"
    "  POS  . . . . . . . . . 0000  DWord\r\n"
    "  FLAGS  . . . . . . . . 0004  Word\r\n"
    "  SUB  . . . . . . 0006  OTHER_S\r\n"
    "Records:\r\n"
    "IO_BITS  . . . . . . . 0008  0002\r\n"
    "?READY . . . . . . . . 0000  0001  0001  0000\r\n"
    "?FAULT . . . . . . . . 0001  0001  0002  0000\r\n"
    "MECH_DRV . . . . 0010  0003\r\n"
    "?ON  . . . . . . 0000  0001  0001  0000\r\n"
    "Segments and Groups:\r\n"
    "DATA1  . . . . . . . .  16 Bit 0010 Para Public 'DATA'\r\n"
    "Procedures, Parameters and Locals:\r\n"
    "MAIN . . . . . . . . .  P Near 0000 CODE4 Length= 0010 Public\r\n"
    "Symbols:\r\n"
    "MODULE_BLOCK_INIT  . . Byte  0000  DATA1  Public\r\n"
    "AXIS1  . . . . . . . . AXIS_S  0010  DATA_USR\r\n"
    "IO1  . . . . . . . . . IO_BITS  0020  DATA_COM\r\n"
    "COUNT  . . . . . . . . Word  A000  DATAROZ\r\n"
    "MAX_AXES . . . . . . . Number  0004h\r\n";

TEST(ListingParser, DocumentedExampleEntersExactlyItsEntries) {
    DiagnosticsScope diagnostics;
    const auto result = readListingText(ExampleListing);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.dump, "AXIS1 Struct v=a0 a=10 children=AXIS_S\n"
                           "AXIS_S StructDef v=8 a=0 children=POS,FLAGS,SUB\n"
                           "COUNT Word v=160 a=a000\n"
                           "FAULT Bit v=1 a=0 link=IO_BITS\n"
                           "FLAGS Word member v=4 a=0 link=AXIS_S\n"
                           "IO1 Record v=30 a=20 children=IO_BITS\n"
                           "IO_BITS RecordDef v=2 a=0 link=IO1 children=READY,FAULT\n"
                           "MAX_AXES Const v=4 a=0\n"
                           "MODULE_BLOCK_INIT Byte v=68 a=0\n"
                           "POS DWord member v=0 a=0 link=AXIS_S\n"
                           "READY Bit v=0 a=0 link=IO_BITS\n"
                           "SUB Byte member v=6 a=0 link=AXIS_S\n");
}

TEST(ListingParser, ListingWithoutSectionHeadersEntersNothingAndFails) {
    const std::string message = " critical error SV0016: Listing has no symbol tables. : t.lst\n";
    auto result = readListingText("X . . Byte 0000 DATA1\nAXIS_S . . 0008\nSymbols\n\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, message);
    EXPECT_EQ(result.dump, "");
    result = readListingText("");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.output, message);
    EXPECT_TRUE(readListingText("Macros:").ok);
}

TEST(ListingParser, IncompleteHeadersLeaveTheSectionAsItWas) {
    const auto result = readListingText("Symbols:\n"
                                        "Structures and Unions\n"
                                        "A . . Byte 0001 DATA1\n"
                                        "Segments and Stuff:\n"
                                        "B . . Byte 0002 DATA1\n"
                                        "symbols :\n"
                                        "Records . . Byte 0003 DATA1\n"
                                        "Macros:\n"
                                        "C . . Byte 0004 DATA1\n");
    EXPECT_EQ(result.dump, "A Byte v=68 a=1\nB Byte v=68 a=2\n");
}

TEST(ListingSymbols, AddressesSegmentsAndScopeWords) {
    const auto result = readListingText("Symbols:\n"
                                        "HEXADDR  . . Byte  FF00  DATA1\n"
                                        "OUTSIDE  . . Byte  FF00  CODE4\n"
                                        "LOWSEG . . . DWord 0010  data_usr\n"
                                        "QW . . . . . QWord 0020  DATAROZ External\n"
                                        "MECHV  . . . mech_axis 0030 DATA_COM\n"
                                        "PUB  . . . . Word  0040  DATA1 Public\n"
                                        "PUBC . . . . Number 0007 Public\n"
                                        "NEG  . . . . Number -00000001h\n"
                                        "NOSEG  . . . Word 0050\n"
                                        "NOADDR . . . Word DATA1\n"
                                        "TXT  . . . . Text   X\n"
                                        "Word 0060 DATA1\n"
                                        "DIRECT Byte 0070 DATA1\n");
    EXPECT_TRUE(result.ok);
    // A name directly followed by its type word keeps its name.
    EXPECT_EQ(result.dump, "DIRECT Byte v=68 a=70\n"
                           "HEXADDR Byte v=68 a=ff00\n"
                           "LOWSEG DWord v=a0 a=10\n"
                           "MECHV Mech v=30 a=30\n"
                           "NEG Const v=ffffffff a=0\n"
                           "PUB Word v=68 a=0\n"
                           "PUBC Const v=0 a=0\n"
                           "QW QWord v=160 a=0\n");
}

TEST(ListingSymbols, TypeNamesThatAreNoDefinitionGiveMessage32) {
    DiagnosticsScope diagnostics;
    const auto result = readListingText("Structures and Unions:\n"
                                        "S_T  . . . 0004\n"
                                        "Symbols:\n"
                                        "MAIN . . . P Near 0000 CODE4\n"
                                        "LBL  . . .\tL Near 0010 CODE4\n"
                                        "S_T2 . . . S_T 0010 DATA1\n"
                                        "POS  . . . POS 0000 DATA1\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output,
              "t.lst(4:12) warning SV0032: Expect structure or record name. : P\n"
              "t.lst(5:15) warning SV0032: Expect structure or record name. : L\n"
              "t.lst(7:12) warning SV0032: Expect structure or record name. : POS\n");
    EXPECT_EQ(result.dump, "S_T StructDef v=4 a=0\nS_T2 Struct v=68 a=10 children=S_T\n");
}

// The assembler writes a number from A000 up letter first, with or without its h: such
// numbers are read in every place a symbol line has a number; other identifiers are not.
TEST(ListingSymbols, NumbersThatBeginWithALetter) {
    DiagnosticsScope diagnostics;
    const auto result = readListingText("Structures and Unions:\n"
                                        "S_T  . . . 0004\n"
                                        "Records:\n"
                                        "R_T  . . . 0008 0001\n"
                                        "?B0  . . . 0000 0001 0001 0000\n"
                                        "Symbols:\n"
                                        "SV . . . . S_T  A000  DATA1\n"
                                        "RV . . . . R_T  C000h DATA_COM\n"
                                        "BV . . . . Byte FFFFH DATAROZ\n"
                                        "KERNALA000 . Number A003h\n"
                                        "CR . . . . Number Dh\n"
                                        "BIG  . . . Number FFFFFFFFFh\n"
                                        "PUBK . . . Number A003h Public\n"
                                        "TWO_H  . . Number A003hh\n"
                                        "NOHEX  . . Number G000\n"
                                        "MINUS  . . Number -A003h\n"
                                        "UNDER  . . Word _A000 DATA1\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "t.lst(14:12) warning SV0033: Symbol not entered. : TWO_H\n"
                             "t.lst(15:12) warning SV0033: Symbol not entered. : NOHEX\n"
                             "t.lst(17:12) warning SV0033: Symbol not entered. : UNDER\n");
    EXPECT_EQ(result.dump, "B0 Bit v=0 a=0 link=R_T\n"
                           "BIG Const v=ffffffff a=0\n"
                           "BV Byte v=160 a=ffff\n"
                           "CR Const v=d a=0\n"
                           "KERNALA000 Const v=a003 a=0\n"
                           "MINUS Const v=ffff5ffd a=0\n"
                           "PUBK Const v=0 a=0\n"
                           "RV Record v=30 a=c000 children=R_T\n"
                           "R_T RecordDef v=1 a=0 link=RV children=B0\n"
                           "SV Struct v=68 a=a000 children=S_T\n"
                           "S_T StructDef v=4 a=0\n");
}

TEST(ListingSymbols, FirstDefinitionStandsInAnyLetterCase) {
    DiagnosticsScope diagnostics;
    const auto result = readListingText("Records:\n"
                                        "R_T  . . . 0008 0001\n"
                                        "?FLAG  . . 0003 0001 0008 0000\n"
                                        "Symbols:\n"
                                        "flag . . . Word 0010 DATA1\n"
                                        "VAR  . . . Byte 0001 DATA1\n"
                                        "Var  . . . Word 0002 DATA_COM\n"
                                        "r_t  . . . Number 0005\n");
    EXPECT_EQ(result.output, "t.lst(5:12) warning SV0033: Symbol not entered. : flag\n"
                             "t.lst(7:12) warning SV0033: Symbol not entered. : Var\n"
                             "t.lst(8:12) warning SV0033: Symbol not entered. : r_t\n");
    EXPECT_EQ(result.dump, "FLAG Bit v=3 a=0 link=R_T\n"
                           "R_T RecordDef v=1 a=0 children=FLAG\n"
                           "VAR Byte v=68 a=1\n");
}

TEST(ListingSymbols, DiscardedRecordVariableLeavesTheEarlierLink) {
    const auto result = readListingText("Records:\n"
                                        "R_T  . . . 0008 0001\n"
                                        "?B0  . . . 0000 0001 0001 0000\n"
                                        "Symbols:\n"
                                        "NOVAR  . . R_T 0001 CODE4\n"
                                        "V1 . . . . R_T 0002 DATA1\n"
                                        "V2 . . . . R_T 0003 STACK\n");
    EXPECT_EQ(result.dump, "B0 Bit v=0 a=0 link=R_T\n"
                           "R_T RecordDef v=1 a=0 link=V1 children=B0\n"
                           "V1 Record v=68 a=2 children=R_T\n");
}

TEST(ListingStructures, MembersDuplicatesAndSectionsAcrossHeaders) {
    DiagnosticsScope diagnostics;
    const auto result = readListingText("Structures and Unions:\n"
                                        "  EARLY  . . 0000 Byte\n"
                                        "A_S  . . . . 0004\n"
                                        "  M1 . . . . 0000 Word\n"
                                        "  M2 . . . . 0002 MECH_X\n"
                                        "B_S  . . . . 0008 0001\n"
                                        "  M1 . . . . 0000 QWord\n"
                                        "Symbols:\n"
                                        "Structures and Unions:\n"
                                        "  M3 . . . . 0004 DWord\n"
                                        "A_S  . . . . 0004\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output,
              "t.lst(7:6) warning SV0030: Multiple structure or structure item definition. : M1\n"
              "t.lst(11:6) warning SV0030: Multiple structure or structure item definition. : "
              "A_S\n");
    EXPECT_EQ(result.dump, "A_S StructDef v=4 a=0 children=M1,M2\n"
                           "B_S StructDef v=8 a=0 children=M3\n"
                           "EARLY Byte member v=0 a=0\n"
                           "M1 Word member v=0 a=0 link=A_S\n"
                           "M2 Byte member v=2 a=0 link=A_S\n"
                           "M3 DWord member v=4 a=0 link=B_S\n");
}

TEST(ListingRecords, BitsMasksAndMechRecords) {
    DiagnosticsScope diagnostics;
    const auto result = readListingText("Records:\n"
                                        "?LOST  . . . 0000 0001 0001 0000\n"
                                        "R_A  . . . . 0010 0004\n"
                                        "?B0  . . . . 0000 0001 0001 0000\n"
                                        "??X  . . . . 0009 0001 0003 0000\n"
                                        "BADX . . . . 0002 0001 0000 0000\n"
                                        "?B1  . . . . 0001 0001 0080 0000\n"
                                        "mech_drv . . 0010 0003\n"
                                        "?ON  . . . . 0000 0001 0001 0000\n"
                                        "R_B  . . . . 0008 0001\n"
                                        "?B0  . . . . 0000 0001 0001 0000\n"
                                        "?B2  . . . . 0102 0001 0004 0000\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "t.lst(5:24) warning SV0031: Invalid bit weight.\n"
                             "t.lst(6:24) warning SV0031: Invalid bit weight.\n");
    // ?B0 of R_B is no duplicate of B0 (the check sees the "?"): it replaces B0 in the
    // dictionary, while R_A keeps its own B0 among its children.
    EXPECT_EQ(result.dump, "?X Bit v=9 a=0 link=R_A\n"
                           "B0 Bit v=0 a=0 link=R_B\n"
                           "B1 Bit v=1 a=0 link=BADX\n"
                           "B2 Bit v=2 a=0 link=R_B\n"
                           "BADX RecordDef v=1 a=0 children=B1\n"
                           "R_A RecordDef v=4 a=0 children=B0,?X\n"
                           "R_B RecordDef v=1 a=0 children=B0,B2\n");
}

// Rows as real listings write them: names too long for dot leaders, numbers letter first
// in every table, negative constants, the tables' column headings; and every symbol line of
// a type the map has a place for that enters nothing is named by message 33.
TEST(ListingTables, EveryRowIsEnteredOrNamed) {
    DiagnosticsScope diagnostics;
    const auto result =
        readListingText("Structures and Unions:\n"
                        "\n"
                        "                N a m e                 Size/Ofs   Type\n"
                        "MZ_HEADER_WITH_A_VERY_LONG_NAME       1C\n"
                        "  e_minalloc  . . . .                   A   Word\n"
                        "  e_maxalloc_with_a_long_name           C   Word\n"
                        "  S . . . . . . . . .                   E   ABCD\n"
                        "Records:\n"
                        "\tN a m e\n"
                        "R_T  . . . . . . . .          20        E\n"
                        "  r_hi . . . . . . .           F       11  FFFF8000 ?\n"
                        "  r_mid  . . . . . .           A        1  00000400 ?\n"
                        "Symbols:\n"
                        "N a m e                 Type       Value     Attr\n"
                        "N a m ex . . . . . . . Number 1\n"
                        "ACCESS_ALLOWED_COMPOUND_ACE_TYPE   Number   4h\n"
                        "LONG_NAMED_VARIABLE_IN_DATA_ONE    Word  0010  DATA1\n"
                        "HFILE_ERROR  . . . . . Number -00000001h\n"
                        "NEG_LETTER . . . . . . Number -Ah\n"
                        "NEG_PUBLIC . . . . . . Number -1 Public\n"
                        "SPACED . . . . . . . . Number - 1\n"
                        "TABBED . . . . . . . . Number -\t1\n"
                        "DOUBLE . . . . . . . . Number --1\n"
                        "NOT_HEX  . . . . . . . Number -X\n"
                        "LONE . . . . . . . . . Number -\n"
                        "e_minalloc . . . . . . Word 0002 DATA1\n"
                        "R_T  . . . . . . . . . Number 5\n"
                        "r_mid  . . . . . . . . R_T 0004 DATA1\n"
                        "e_maxalloc_with_a_long_name  P Near 0000 CODE4\n"
                        "NOSEG  . . . . . . . . Byte 0002 *External\n"
                        "NOADDR . . . . . . . . MZ_HEADER_WITH_A_VERY_LONG_NAME DATA1\n"
                        "OUTSIDE  . . . . . . . Byte 0002 CODE4\n");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.output, "t.lst(11:44) warning SV0031: Invalid bit weight.\n"
                             "t.lst(12:44) warning SV0031: Invalid bit weight.\n"
                             "t.lst(15:3) warning SV0032: Expect structure or record name. : a\n"
                             "t.lst(21:24) warning SV0033: Symbol not entered. : SPACED\n"
                             "t.lst(22:24) warning SV0033: Symbol not entered. : TABBED\n"
                             "t.lst(23:24) warning SV0033: Symbol not entered. : DOUBLE\n"
                             "t.lst(24:24) warning SV0033: Symbol not entered. : NOT_HEX\n"
                             "t.lst(25:24) warning SV0033: Symbol not entered. : LONE\n"
                             "t.lst(26:24) warning SV0033: Symbol not entered. : e_minalloc\n"
                             "t.lst(27:24) warning SV0033: Symbol not entered. : R_T\n"
                             "t.lst(28:24) warning SV0033: Symbol not entered. : r_mid\n"
                             "t.lst(30:24) warning SV0033: Symbol not entered. : NOSEG\n"
                             "t.lst(31:24) warning SV0033: Symbol not entered. : NOADDR\n");
    EXPECT_EQ(result.dump, "ACCESS_ALLOWED_COMPOUND_ACE_TYPE Const v=4 a=0\n"
                           "e_maxalloc_with_a_long_name Word member v=c a=0 "
                           "link=MZ_HEADER_WITH_A_VERY_LONG_NAME\n"
                           "e_minalloc Word member v=a a=0 link=MZ_HEADER_WITH_A_VERY_LONG_NAME\n"
                           "HFILE_ERROR Const v=ffffffff a=0\n"
                           "LONG_NAMED_VARIABLE_IN_DATA_ONE Word v=68 a=10\n"
                           "MZ_HEADER_WITH_A_VERY_LONG_NAME StructDef v=1c a=0 "
                           "children=e_minalloc,e_maxalloc_with_a_long_name,S\n"
                           "NEG_LETTER Const v=fffffff6 a=0\n"
                           "NEG_PUBLIC Const v=0 a=0\n"
                           "r_hi Bit v=f a=0 link=R_T\n"
                           "r_mid Bit v=a a=0 link=R_T\n"
                           "R_T RecordDef v=e a=0 children=r_hi,r_mid\n"
                           "S Byte member v=e a=0 link=MZ_HEADER_WITH_A_VERY_LONG_NAME\n");
}

TEST(ListingRecords, BitLineOfThreeNumbersDoesNotSwallowTheNextLine) {
    const auto result = readListingText("Records:\n"
                                        "R_A  . . . . 0010 0002\n"
                                        "?B0  . . . . 0000 0001 0001\n"
                                        "R_B  . . . . 0008 0001\n"
                                        "?B1  . . . . 0000 0001 0001\n"
                                        "Symbols:\n"
                                        "V  . . . . . R_B 0004 DATA1\n");
    EXPECT_EQ(result.dump, "B0 Bit v=0 a=0 link=R_A\n"
                           "B1 Bit v=0 a=0 link=R_B\n"
                           "R_A RecordDef v=2 a=0 children=B0\n"
                           "R_B RecordDef v=1 a=0 link=V children=B1\n"
                           "V Record v=68 a=4 children=R_B\n");
}

} // namespace
