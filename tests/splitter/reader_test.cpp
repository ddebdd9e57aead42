// The map segment reader and the make-file comment reader, line by line and on files.
#include "image_files.h"
#include "splitter.h"
#include "test_support.h"
#include "text_lines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace std::string_literals;

using namespace tessan;
using imagefiles::commentBlock;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

int take(SegmentTable& table, const std::string& line) {
    return takeMapLine(table, line.data(), line.size());
}

std::string commentOf(const std::string& line) {
    CommentBlock block;
    takeCommentLine(line.data(), line.size(), block);
    return std::string(reinterpret_cast<const char*>(block.bytes), sizeof block.bytes);
}

std::string blanks(std::size_t count) {
    return std::string(count, ' ');
}

// All twenty lines, as the 16-bit linker writes them.
std::string completeMap() {
    std::string map = " Start  Stop   Length Name               Class\n";
    map += " 00000H 001FFH 00200H CODE4              CODE\n";
    map += " 00200H 01BFFH 01A00H CODE5              CODE\n";
    char line[80];
    for (int unit = 3; unit <= 17; ++unit) {
        std::snprintf(line, sizeof line, " %05XH %05XH 00040H CODE_UNIT%02d        CODE\n",
                      0x1C00 + 0x40 * (unit - 3), 0x1C3F + 0x40 * (unit - 3), unit);
        map += line;
    }
    map += " 0200:0100       ??SEC_PROC_DUSR_LOAD\n";
    map += " 0200:0180       ??SEC_PROC_DUSR_END\n";
    map += " 0020:19F0       ??SEC_PROC_FAR_END\n";
    return map;
}

} // namespace

TEST(MapLine, SegmentKeysNeedBlanksOnBothSides) {
    SegmentTable table;
    initSegmentTable(table);
    EXPECT_EQ(take(table, " 00000H 001FFH 00200H CODE4\n"), -1);
    EXPECT_EQ(take(table, " 00000H 001FFH 00200H CODE4\tCODE\n"), -1);
    EXPECT_EQ(take(table, " 00000H 001FFH 00200H CODE45             CODE\n"), -1);
    EXPECT_EQ(take(table, " 00000H 001FFH 00200H CODE_UNIT031       CODE\n"), -1);
    // A line that fits no key leaves every entry as it was.
    for (const SegmentEntry& entry : table.entries) {
        EXPECT_FALSE(entry.found) << entry.name;
        EXPECT_EQ(entry.start, 0u) << entry.name;
    }
    EXPECT_EQ(take(table, "\t00000H 001FFH 00200H CODE4 CODE\n"), 0);
    EXPECT_EQ(take(table, " 01C40H 01C7FH 00040H CODE_UNIT04        CODE\n"), 3);
    EXPECT_EQ(table.entries[3].start, 0x1C40u);
    EXPECT_EQ(table.entries[3].length, 0x3Cu);
    // Exactly the two entries whose keys were given are found.
    for (int i = 0; i < SegmentEntryCount; ++i)
        EXPECT_EQ(table.entries[i].found, i == 0 || i == 3) << table.entries[i].name;
}

TEST(MapLine, FieldsAtFixedPlacesAfterBlanksGo) {
    SegmentTable table;
    initSegmentTable(table);
    // Blanks and tabs anywhere are dropped before the fields are cut out.
    EXPECT_EQ(take(table, "\t0 0 1 0 0 H 001FFH\t00020H CODE5 CODE\n"), 1);
    EXPECT_EQ(table.entries[1].start, 0x100u);
    EXPECT_EQ(table.entries[1].length, 28u); // Length 00020H: its last four bytes are dropped
    // Lower-case digits convert; a field stops at its first non-digit.
    EXPECT_EQ(take(table, " 0abcdH 001FFH 0002xH CODE5 CODE\n"), 1);
    EXPECT_EQ(table.entries[1].start, 0xABCDu);
    EXPECT_EQ(table.entries[1].mapLength, 2u);
    // A line too short for its fields: missing characters count as absent.
    EXPECT_EQ(take(table, " 12 CODE4 "), 0);
    EXPECT_EQ(table.entries[0].start, 0x12Cu); // "12CODE4": the C is a digit, the O ends it
    EXPECT_EQ(table.entries[0].mapLength, 0u);
    EXPECT_TRUE(table.entries[0].found);
}

TEST(MapLine, SymbolsAndTheirValues) {
    SegmentTable table;
    initSegmentTable(table);
    EXPECT_EQ(take(table, " 0200:0100       ??SEC_PROC_DUSR_LOAD\n"), EntryDusrLoad);
    EXPECT_EQ(table.dusrLoad(), 0x2100u);
    // The symbol key has no blank behind it: a longer public selects the entry too.
    EXPECT_EQ(take(table, " 0201:0000       ??SEC_PROC_DUSR_LOADER\n"), EntryDusrLoad);
    EXPECT_EQ(table.dusrLoad(), 0x2010u);
    EXPECT_EQ(take(table, " FFFF:FFFF       ??SEC_PROC_DUSR_END\n"), EntryDusrEnd);
    EXPECT_EQ(table.dusrEnd(), 0xFFFF0u + 0xFFFFu);
    // Only the offset of ??SEC_PROC_FAR_END counts.
    EXPECT_EQ(take(table, " 0020:19F0       ??SEC_PROC_FAR_END\n"), EntryFarEnd);
    EXPECT_EQ(table.farEnd(), 0x19F0u);
    EXPECT_EQ(take(table, " 0999:19F0       ??SEC_PROC_FAR_END\n"), EntryFarEnd);
    EXPECT_EQ(table.farEnd(), 0x19F0u);
    // Keys are case-sensitive; the first key in table order wins on a line with two.
    EXPECT_EQ(take(table, " 0020:19F0       ??sec_proc_far_end\n"), -1);
    EXPECT_EQ(take(table, " 00000H 001FFH 00200H CODE5 CODE4 ??SEC_PROC_FAR_END\n"), 0);
}

TEST(MapLine, NulBytesAreOrdinaryCharacters) {
    SegmentTable table;
    initSegmentTable(table);
    const std::string line = "\0 00300H 003FFH 00100H CODE4 \0 CODE\n"s;
    EXPECT_EQ(take(table, line), 0);
    // The NUL at the front stays in the packed line, so every field shifts by one.
    EXPECT_EQ(table.entries[0].start, 0u);
}

TEST(MapFile, CompleteMapAndLaterLinesOverwrite) {
    TempDir dir;
    // A value given twice takes the later line; after all twenty are found the rest of the
    // map (a second list of publics) is not read.
    const std::string map = " 00004H 00004H 00004H CODE4 CODE\r\n" + completeMap() +
                            " 0300:0000       ??SEC_PROC_DUSR_LOAD\n";
    writeFile(dir.file("a.map"), map);
    SegmentTable table;
    ASSERT_TRUE(scanMapSegments(dir.file("a.map").c_str(), table));
    EXPECT_EQ(table.entries[0].start, 0u);
    EXPECT_EQ(table.entries[0].length, 0x1FCu);
    EXPECT_EQ(table.entries[16].start, 0x1F80u);
    EXPECT_EQ(table.dusrLoad(), 0x2100u);
    EXPECT_EQ(table.dusrEnd(), 0x2180u);
}

TEST(MapFile, MissingEntryOpenFailureAndReadError) {
    TempDir dir;
    std::string map = completeMap();
    map.erase(map.find(" 0200:0180"), 37);
    writeFile(dir.file("a.map"), map);
    SegmentTable table;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(scanMapSegments(dir.file("a.map").c_str(), table));
    EXPECT_FALSE(scanMapSegments(dir.path().c_str(), table));
    // Reading this file fails at once although it opens: a read error, not the end.
    const testsupport::UnreadableFile unreadable;
    EXPECT_FALSE(scanMapSegments(unreadable.path().c_str(), table));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nError: 10, Syntax error in MAP-file\n"
              "\nError: 9, File open error: " +
                  dir.path() + "\n\nError: 22, File read error: " + unreadable.path() + "\n");
}

TEST(MapFile, LongLinesArriveInPiecesOf399) {
    TempDir dir;
    SegmentTable table;
    // A key that begins at character 399 lies in the second piece and is found there, at
    // the front of a piece; one cut by the piece boundary is not found at all.
    std::string cutLine = completeMap();
    const std::string code4 = " 00000H 001FFH 00200H CODE4              CODE\n";
    cutLine.replace(cutLine.find(code4), code4.size(),
                    blanks(376) + "00000H 001FFH 00200H CODE4 CODE\n");
    writeFile(dir.file("cut.map"), cutLine);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(scanMapSegments(dir.file("cut.map").c_str(), table));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nError: 10, Syntax error in MAP-file\n");

    std::string second = completeMap();
    second.replace(second.find(code4), code4.size(),
                   std::string(399, 'x') + " 00010H 001FFH 00200H CODE4 CODE\n");
    writeFile(dir.file("second.map"), second);
    ASSERT_TRUE(scanMapSegments(dir.file("second.map").c_str(), table));
    EXPECT_EQ(table.entries[0].start, 0x10u);
}

TEST(TextPieces, AgreeWithTheRuleOnEveryCut) {
    // Text of blanks, letters, NUL bytes and line ends, with a CR LF across the reader's
    // 8192-byte blocks and a CR as the file's last byte: the pieces, whatever their longest,
    // joined give the text with each CR LF as LF, and a piece ends after LF or when full.
    std::string text;
    std::uint32_t seed = 7;
    const char alphabet[] = {'a', 'b', ' ', '\0', '\r', '\n', 'x', '\r'};
    while (text.size() < 20000) {
        seed = seed * 1103515245u + 12345u;
        text += alphabet[(seed >> 16) % sizeof alphabet];
    }
    text[8191] = '\r';
    text[8192] = '\n';
    text.back() = '\r';
    std::string expected;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            expected += text[i];

    TempDir dir;
    writeFile(dir.file("t.txt"), text);
    for (const std::size_t longest : {std::size_t{1}, std::size_t{7}, std::size_t{399}}) {
        platform::File file;
        ASSERT_TRUE(platform::openForReading(dir.file("t.txt").c_str(), file));
        TextReader reader;
        startTextReader(reader, file);
        std::string joined;
        std::vector<char> piece(longest + 1);
        std::size_t length = 0;
        PieceResult result;
        while ((result = readPiece(reader, piece.data(), longest, length)) == PieceResult::Piece) {
            ASSERT_LE(length, longest);
            ASSERT_EQ(piece[length], '\0');
            const std::string got(piece.data(), length);
            // Only a line feed, a full piece or the file's end ends a piece.
            if (length < longest && got.back() != '\n') {
                ASSERT_EQ(joined.size() + length, expected.size()) << "longest " << longest;
            }
            ASSERT_EQ(got.find('\n'), got.back() == '\n' ? length - 1 : std::string::npos);
            joined += got;
        }
        EXPECT_EQ(result, PieceResult::End);
        EXPECT_EQ(joined, expected) << "longest " << longest;
        platform::closeFile(file);
    }
}

TEST(CommentLine, QuotedTextCutAndFilled) {
    EXPECT_EQ(commentOf("# Comment \"Line 7 press A\"\n"), commentBlock("Line 7 press A"));
    EXPECT_EQ(commentOf("COMMENT \"0123456789012345678901234567890123456789\"\n"),
              std::string("0123456789012345678901234567890") + '\0');
    // No quote: blanks only.
    EXPECT_EQ(commentOf("# comment without quotes\n"), commentBlock(""));
    // An unclosed quote keeps the line feed of the line as read.
    EXPECT_EQ(commentOf("comment \"open\n"), commentBlock("open\n"));
    // The text begins after the first quote even when the keyword stands inside it.
    EXPECT_EQ(commentOf("x \"a Comment\" \"b\"\n"), commentBlock("a Comment"));
    EXPECT_EQ(commentOf("# uncommented \"u\"\n"), commentBlock("u"));
    EXPECT_EQ(commentOf("\"\"comment\n"), commentBlock(""));
}

TEST(CommentLine, OnlyTheThreeSpellingsCount) {
    CommentBlock block;
    for (const std::string line : {"# CoMMent \"x\"\n", "# COMMENt \"x\"\n", "no word\n"})
        EXPECT_FALSE(takeCommentLine(line.data(), line.size(), block)) << line;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.bytes), 32), std::string(32, '\0'));
}

TEST(CommentFile, FirstCommentLineInPiecesOf199) {
    TempDir dir;
    CommentBlock block;
    // The keyword at characters 199 to 205 opens the second piece; the CR LF of that line
    // reads as one line feed, which the unclosed quote keeps.
    writeFile(dir.file("Make.knf"),
              "all:\r\n" + std::string(199, '-') + "Comment \"ab\r\n" + "comment \"second\"\n");
    ASSERT_TRUE(scanMakeComment(dir.file("Make.knf").c_str(), block));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.bytes), 32), commentBlock("ab\n"));

    CommentBlock none;
    writeFile(dir.file("plain.knf"), "all:\n\tlink\n");
    ASSERT_TRUE(scanMakeComment(dir.file("plain.knf").c_str(), none));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(none.bytes), 32), std::string(32, '\0'));
}

TEST(CommentFile, OpenAndReadFailures) {
    CommentBlock block;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(scanMakeComment("", block));
    EXPECT_FALSE(scanMakeComment("/", block));
    const testsupport::UnreadableFile unreadable;
    EXPECT_FALSE(scanMakeComment(unreadable.path().c_str(), block));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nError: 19, File open error: \n\nError: 19, File open error: /\n"
              "\nError: 22, File read error: " +
                  unreadable.path() + "\n");
}
