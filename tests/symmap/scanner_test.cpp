#include "reader_test_support.h"
#include "scanner.h"
#include "test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using readertest::DiagnosticsScope;
using readertest::dumpTokens;
using symmap::Scanner;

namespace {

std::string tokensOf(std::string_view text, int limit = 1000) {
    Scanner scanner;
    if (!scanner.openText(text, "s.lst", symmap::ListingKeywords))
        return "OPEN FAILED";
    return dumpTokens(scanner, limit);
}

// Tokens and the messages printed (warnings mode) while scanning them.
std::string scanWithMessages(std::string_view text, std::string& output) {
    testing::internal::CaptureStdout();
    const std::string tokens = tokensOf(text);
    output = testing::internal::GetCapturedStdout();
    return tokens;
}

TEST(ScannerLines, EmptyFileGivesThreeLineEndsThenEndOfFileForEver) {
    Scanner scanner;
    ASSERT_TRUE(scanner.openText("", "s.lst", symmap::ListingKeywords));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(scanner.tokKind, symmap::TokEndOfLine) << i;
        ASSERT_TRUE(scanner.next());
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(scanner.tokKind, symmap::TokEndOfFile);
        ASSERT_TRUE(scanner.next());
    }
}

TEST(ScannerLines, EveryLineEndShapeGivesOneLineEndAndOnlyLineFeedsCountLines) {
    EXPECT_EQ(tokensOf("A\nB\n"), "EOL IA EOL IB EOL EOL EOL EOF");
    EXPECT_EQ(tokensOf("A\r\nB\r\n"), "EOL IA EOL IB EOL EOL EOL EOF");
    // A lone CR at the very end pairs with the line feed that the end of the file stands for.
    EXPECT_EQ(tokensOf("A\rB\r"), "EOL IA EOL IB EOL EOL EOF");
    EXPECT_EQ(tokensOf("A\r\r\nB"), "EOL IA EOL EOL IB EOL EOL EOF");
    // A last line without a line end still ends with a line end, its token complete.
    EXPECT_EQ(tokensOf("A 12"), "EOL IA N18 EOL EOL EOF");

    Scanner scanner;
    ASSERT_TRUE(scanner.openText("A\rB\r\nC\nD", "s.lst", symmap::ListingKeywords));
    EXPECT_EQ(scanner.tokLine, -1);
    int lines[4] = {};
    for (int i = 0; i < 4; ++i) {
        do
            ASSERT_TRUE(scanner.next());
        while (scanner.tokKind != symmap::TokIdent);
        lines[i] = scanner.tokLine;
    }
    EXPECT_EQ(lines[0], 0);
    EXPECT_EQ(lines[1], 0); // a lone CR ends the line but does not count it
    EXPECT_EQ(lines[2], 1);
    EXPECT_EQ(lines[3], 2);
}

TEST(ScannerLines, TabAdvancesTheColumnByFourWhateverTheColumn) {
    Scanner scanner;
    ASSERT_TRUE(scanner.openText("\tX\n ab\tY", "s.lst", symmap::ListingKeywords));
    ASSERT_TRUE(scanner.next());
    EXPECT_EQ(scanner.tokColumn, 4);
    EXPECT_EQ(scanner.tokLine, 0);
    ASSERT_TRUE(scanner.next()); // EOL
    ASSERT_TRUE(scanner.next());
    EXPECT_STREQ(scanner.tokText, "ab");
    EXPECT_EQ(scanner.tokColumn, 1);
    ASSERT_TRUE(scanner.next());
    EXPECT_EQ(scanner.tokColumn, 7); // "ab" ends at 3, the tab adds 4
    EXPECT_EQ(scanner.tokLine, 1);
}

TEST(ScannerNumbers, NumbersAreHexadecimalWithOptionalSuffixAndWrap) {
    EXPECT_EQ(tokensOf("0010 10h 12g 0FFh 0a0H"), "EOL N16 N16 N18 Ig N255 N160 EOL EOL EOF");
    EXPECT_EQ(tokensOf("1FFFFFFFF 123456789h"), "EOL N4294967295 N591751049 EOL EOL EOF");
    EXPECT_EQ(tokensOf("-00000001h"), "EOL P- N1 EOL EOL EOF");
}

TEST(ScannerIdentifiers, HexadecimalFlagAndValueOfIdentifiers) {
    Scanner scanner;
    // The 129-character identifier is cut in tokText but still counts as a suffixed number,
    // its value kept modulo 2^32.
    const std::string longHex = std::string(120, 'F') + "12345678h";
    ASSERT_TRUE(scanner.openText("FF00 FFh A0H _FF a A003hh FhF h " + longHex + " 123456789Ab",
                                 "s.lst", symmap::ListingKeywords));
    struct Expected {
        std::string text;
        int valid;
        int suffixed;
        std::uint32_t value;
    };
    const Expected expected[] = {
        {"FF00", 1, 0, 0xFF00}, {"FFh", 0, 1, 0xFF}, {"A0H", 0, 1, 0xA0},
        {"_FF", 0, 0, 0},       {"a", 1, 0, 10},     {"A003hh", 0, 0, 0},
        {"FhF", 0, 0, 0},       {"h", 0, 0, 0},      {longHex.substr(0, 128), 0, 1, 0x12345678}};
    for (const Expected& e : expected) {
        ASSERT_TRUE(scanner.next());
        ASSERT_EQ(scanner.tokKind, symmap::TokIdent);
        EXPECT_EQ(scanner.tokText, e.text);
        EXPECT_EQ(scanner.tokHexValid, e.valid) << e.text;
        EXPECT_EQ(scanner.tokHexSuffixed, e.suffixed) << e.text;
        if (e.valid || e.suffixed) {
            EXPECT_EQ(scanner.tokHexValue, e.value) << e.text;
        }
    }
    ASSERT_TRUE(scanner.next()); // a number: 123456789 then the identifier Ab
    EXPECT_EQ(scanner.tokKind, symmap::TokNumber);
}

TEST(ScannerIdentifiers, KeywordsMatchWholeWordsOrPrefixIgnoringCase) {
    EXPECT_EQ(tokensOf("mech_drive MECH_ Mech DWORDS dword byte BYTE Bytes Symbol Public"),
              "EOL Imech_drive#17 IMECH_#17 IMech IDWORDS Idword#15 Ibyte#13 IBYTE#13 IBytes "
              "ISymbol IPublic#21 EOL EOL EOF");
    EXPECT_EQ(tokensOf("$a?b@c_1"), "EOL I$a?b@c_1 EOL EOL EOF");
}

TEST(ScannerIdentifiers, TextSurvivesDotLeadersNumbersAndLineEnds) {
    Scanner scanner;
    ASSERT_TRUE(scanner.openText("NAME . . . 0008\n", "s.lst", symmap::ListingKeywords));
    ASSERT_TRUE(scanner.next());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(scanner.next());
        EXPECT_STREQ(scanner.tokText, "NAME");
    }
    EXPECT_EQ(scanner.tokKind, symmap::TokEndOfLine);
}

TEST(ScannerIdentifiers, OverlongIdentifierIsCutOnceAndScanningResumes) {
    DiagnosticsScope diagnostics;
    const std::string name = std::string(150, 'K') + std::string(50, '1');
    Scanner scanner;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(scanner.openText(" " + name + " next", "s.lst", symmap::ListingKeywords));
    ASSERT_TRUE(scanner.next());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "s.lst(1:130) warning SV0007: Too long identifier.\n");
    EXPECT_EQ(std::string(scanner.tokText), std::string(128, 'K'));
    ASSERT_TRUE(scanner.next());
    EXPECT_STREQ(scanner.tokText, "next");
    EXPECT_EQ(symmap::warningCount(), 1u);

    // Characters past the cut still count for the hexadecimal value.
    ASSERT_TRUE(scanner.openText(std::string(129, 'A') + "G", "s.lst", symmap::ListingKeywords));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(scanner.next());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(scanner.tokHexValid, 0);
}

TEST(ScannerCharacters, InvalidCharactersAreReportedWithTheirByteAndDropped) {
    DiagnosticsScope diagnostics;
    std::string output;
    EXPECT_EQ(scanWithMessages(std::string("a&b\f`~\x7f", 7) + std::string("\0c\xff", 3), output),
              "EOL Ia Ib Ic EOL EOL EOF");
    EXPECT_EQ(output, std::string("s.lst(1:2) warning SV0008: Invalid character. : '&' (0x26)\n"
                                  "s.lst(1:4) warning SV0008: Invalid character. : '\f' (0x0c)\n"
                                  "s.lst(1:5) warning SV0008: Invalid character. : '`' (0x60)\n"
                                  "s.lst(1:6) warning SV0008: Invalid character. : '~' (0x7e)\n"
                                  "s.lst(1:7) warning SV0008: Invalid character. : '\x7f' (0x7f)\n"
                                  "s.lst(1:8) warning SV0008: Invalid character. : '") +
                          std::string(1, '\0') +
                          "' (0x00)\n"
                          "s.lst(1:10) warning SV0008: Invalid character. : '\xff' (0xff)\n");
}

TEST(ScannerCharacters, ByteFFAtTheStartOfABlockDoesNotEndTheFile) {
    DiagnosticsScope diagnostics(false);
    std::string text(1023, ' ');
    text += "X";
    text += "\xff";
    text += "Y\n";
    std::string output;
    EXPECT_EQ(scanWithMessages(text, output), "EOL IX IY EOL EOL EOL EOF");
    EXPECT_EQ(output, "");
    EXPECT_EQ(symmap::warningCount(), 1u);
}

// Tokens that straddle the end of a read block, and a 0xFF as the first byte of a block, come
// out as they would from one block.
TEST(ScannerCharacters, TokensAcrossBlockEndsAreWhole) {
    DiagnosticsScope diagnostics(false);
    const std::size_t block = symmap::ScannerBlockSize;
    std::string text(block - 3, ' ');
    text += "IDENT 12"; // the identifier crosses the first block's end
    text += "34h\r";
    text.resize(2 * block - 1, ' ');
    text += "\r\n"; // one line end, though its two characters come from two blocks
    text.resize(3 * block, ' ');
    text += "\xff"
            "0FF";
    std::string output;
    EXPECT_EQ(scanWithMessages(text, output), "EOL IIDENT N4660 EOL EOL N255 EOL EOL EOF");
    EXPECT_EQ(output, "");
    EXPECT_EQ(symmap::warningCount(), 1u);
}

TEST(ScannerCharacters, PunctuationRunIsSkippedLikeTokenByToken) {
    DiagnosticsScope diagnostics;
    const std::string line = "NAME .\t. ..&. . ~ .\t0008 . X\n";
    std::string byToken, byRun, runMessages;
    {
        Scanner scanner;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(scanner.openText(line, "s.lst", symmap::ListingKeywords));
        ASSERT_TRUE(scanner.next() && scanner.next());
        while (scanner.tokKind == symmap::TokPunct && scanner.tokValue == '.')
            ASSERT_TRUE(scanner.next());
        byToken = std::to_string(scanner.tokColumn) + " ";
        byToken += dumpTokens(scanner);
        byToken += testing::internal::GetCapturedStdout();
    }
    {
        Scanner scanner;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(scanner.openText(line, "s.lst", symmap::ListingKeywords));
        ASSERT_TRUE(scanner.next() && scanner.next());
        ASSERT_TRUE(scanner.skipPunctuationRun());
        EXPECT_STREQ(scanner.tokText, "NAME");
        byRun = std::to_string(scanner.tokColumn) + " ";
        byRun += dumpTokens(scanner);
        byRun += testing::internal::GetCapturedStdout();
    }
    EXPECT_EQ(byRun, byToken);
    EXPECT_EQ(byRun, "26 N8 P. IX EOL EOL EOL EOF"
                     "s.lst(1:15) warning SV0008: Invalid character. : '&' (0x26)\n"
                     "s.lst(1:20) warning SV0008: Invalid character. : '~' (0x7e)\n");
}

// Reads the first two tokens of each line and then skips its rest, by skipToEndOfLine or token
// by token; gives every token read with its line and column, and the messages printed.
std::string skimLines(const std::string& text, bool bySkip) {
    DiagnosticsScope diagnostics;
    testing::internal::CaptureStdout();
    Scanner scanner;
    std::string seen;
    bool ok = scanner.openText(text, "s.lst", symmap::ListingKeywords);
    while (ok && scanner.tokKind != symmap::TokEndOfFile) {
        seen += std::to_string(scanner.tokKind) + "@" + std::to_string(scanner.tokLine) + ":" +
                std::to_string(scanner.tokColumn) + " ";
        const bool lineEnd = scanner.tokKind == symmap::TokEndOfLine;
        ok = scanner.next();
        if (lineEnd || !ok)
            continue;
        if (bySkip)
            ok = scanner.skipToEndOfLine();
        while (ok && scanner.tokKind != symmap::TokEndOfLine &&
               scanner.tokKind != symmap::TokEndOfFile)
            ok = scanner.next();
    }
    seen += ok ? "end\n" : "FAIL\n";
    return seen + testing::internal::GetCapturedStdout();
}

TEST(ScannerCharacters, SkippedRestOfLineIsTheSameAsTokenByToken) {
    std::string text = "NAME Byte 12h, 0FFh ; comment (x) [y] \"s\" 'q' a.b:c\n"
                       "A\tB\t\t12\t.\r\n"
                       "LONG x " +
                       std::string(128, 'L') + " " + std::string(129, 'M') + " tail\n" + "NUM 1" +
                       std::string(140, '0') + " y\n" +
                       "BAD a~b \x80 c\x01\n"
                       "CR ok\r"
                       "CRLF split\r";
    text.resize(symmap::ScannerBlockSize + 1, ' '); // the CR LF and the next rest cross blocks
    text += "\nDOTS . " + std::string(symmap::ScannerBlockSize, '.') + " q\n" + "LAST v w";
    const std::string byToken = skimLines(text, false);
    EXPECT_EQ(skimLines(text, true), byToken);
    // What the skipped rests hold still shows: the long name, the three invalid bytes.
    EXPECT_EQ(byToken.substr(byToken.find("end\n")),
              "end\n"
              "s.lst(3:265) warning SV0007: Too long identifier.\n"
              "s.lst(5:6) warning SV0008: Invalid character. : '~' (0x7e)\n"
              "s.lst(5:9) warning SV0008: Invalid character. : '\x80' (0x80)\n"
              "s.lst(5:12) warning SV0008: Invalid character. : '\x01' (0x01)\n");
}

TEST(ScannerCharacters, WarningAfterTwentyErrorsStopsTheScan) {
    DiagnosticsScope diagnostics(false);
    testing::internal::CaptureStdout();
    for (int i = 0; i < 20; ++i)
        symmap::reportMessage(symmap::MsgInvalidCommandLineOption, nullptr, -1, -1);
    testing::internal::GetCapturedStdout();
    std::string output;
    EXPECT_EQ(scanWithMessages("a ~ b", output), "EOL Ia FAIL");
}

TEST(ScannerFiles, OpensTheWholePathAndQuotesItsFirst259Characters) {
    DiagnosticsScope diagnostics;
    testsupport::TempDir dir;
    std::string path = dir.path();
    while (path.size() < 280)
        path += "/" + std::string(40, 'd');
    std::filesystem::create_directories(path);
    path += "/x.lst";
    testsupport::writeFile(path, "\t~");
    Scanner scanner;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(scanner.open(path.c_str(), symmap::ListingKeywords));
    EXPECT_EQ(dumpTokens(scanner), "EOL EOL EOL EOF");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              path.substr(0, 259) + "(1:5) warning SV0008: Invalid character. : '~' (0x7e)\n");

    const std::string missing = path + std::string(40, 'm');
    testing::internal::CaptureStdout();
    EXPECT_FALSE(scanner.open(missing.c_str(), symmap::ListingKeywords));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " critical error SV0001: File open error. : " + missing.substr(0, 259) + "\n");
}

TEST(ScannerFiles, DirectoryCannotBeOpened) {
    DiagnosticsScope diagnostics;
    testsupport::TempDir dir;
    Scanner scanner;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(scanner.open(dir.path().c_str(), symmap::ListingKeywords));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " critical error SV0001: File open error. : " + dir.path() + "\n");
    EXPECT_EQ(symmap::errorCount(), 1u);
}

} // namespace
