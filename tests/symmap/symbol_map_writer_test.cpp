#include "diagnostics.h"
#include "symbol_map_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

#if __has_include(<sys/resource.h>)
#include <csignal>
#include <sys/resource.h>
#define HAVE_FILE_SIZE_LIMIT 1
#endif

using namespace symmap;
using testsupport::TempDir;

namespace {

const std::string Header = "$MP2 02\r\n";
const std::string SymbolHead = "\r\n[SYMBOL_TABLE %]\r\n;Sel    Addr    Type    Symbol\r\n";
const std::string BitFieldHead =
    "\r\n[BIT_FIELDS %]\r\n;Bit                           Location\r\n";
const std::string OffsetHead =
    "\r\n[STRUCTURE_OFFSETS %]\r\n;Name                          Offset\r\n";
const std::string WeightHead = "\r\n[BIT_WEIGHTS %]\r\n;Bit                           Weight\r\n";
const std::string ConstantHead = "\r\n[CONSTANTS %]\r\n;Name                          Value\r\n";

std::string head(const std::string& pattern, int count) {
    std::string text = pattern;
    text.replace(text.find('%'), 1, std::to_string(count));
    return text;
}

std::string blanks(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

// Builds dictionaries the way the listing reader does: create, link, store under the key.
class MapFixture : public ::testing::Test {
  protected:
    void SetUp() override { resetDiagnostics(); }
    void TearDown() override { resetDiagnostics(); }

    SymbolEntry* add(const std::string& name, SymbolKind kind, std::uint32_t value = 0,
                     std::uint32_t address = 0) {
        SymbolEntry* entry = dictionary.createEntry(name);
        entry->kind = kind;
        entry->value = value;
        entry->address = address;
        dictionary.set(symbolKey(name), entry);
        return entry;
    }
    SymbolEntry* addRecordDef(const std::string& name, int bits) {
        SymbolEntry* def = add(name, SymbolKind::RecordDef);
        for (int i = 0; i < bits; ++i) {
            SymbolEntry* bit = add(name + "_B" + std::to_string(i), SymbolKind::Bit, i);
            bit->link = def;
            appendChild(def, bit);
        }
        return def;
    }
    SymbolEntry* addRecordVariable(const std::string& name, SymbolEntry* def,
                                   std::uint32_t selector, std::uint32_t address) {
        SymbolEntry* variable = add(name, SymbolKind::Record, selector, address);
        appendChild(variable, def);
        def->link = variable;
        return variable;
    }
    SymbolEntry* addMember(const std::string& name, SymbolEntry* def, std::uint32_t offset) {
        SymbolEntry* member = add(name, SymbolKind::Byte, offset);
        member->isMember = 1;
        member->link = def;
        appendChild(def, member);
        return member;
    }

    // Writes the map and returns the file, with what was printed in `printed`.
    std::string write(bool expectSuccess = true) {
        const std::string path = dir.file("out.mp2");
        ::testing::internal::CaptureStdout();
        const bool ok = writeSymbolMap(path.c_str(), dictionary);
        printed = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(ok, expectSuccess) << printed;
        return testsupport::readFile(path);
    }

    // Only the rows of the symbol table of a written map.
    std::string symbolRows(const std::string& map) {
        const std::string start = head(SymbolHead, static_cast<int>(variables));
        const std::size_t from = map.find(start);
        EXPECT_NE(from, std::string::npos);
        const std::size_t rows = from + start.size();
        return map.substr(rows, map.find("\r\n\r\n[BIT_FIELDS") + 2 - rows);
    }

    SymbolDictionary dictionary;
    TempDir dir;
    std::string printed;
    int variables = 0;
};

TEST_F(MapFixture, EmptyDictionaryGivesFiveEmptySections) {
    EXPECT_EQ(write(), Header + head(SymbolHead, 0) + head(BitFieldHead, 0) + head(OffsetHead, 0) +
                           head(WeightHead, 0) + head(ConstantHead, 0));
    EXPECT_EQ(printed, "");
}

TEST_F(MapFixture, CompleteSmallProgram) {
    add("Cnt", SymbolKind::Byte, 0x30, 0x1a4);
    SymbolEntry* ioBits = add("IO_BITS", SymbolKind::RecordDef, 2);
    for (const char* name : {"READY", "BUSY"}) {
        SymbolEntry* bit = add(name, SymbolKind::Bit, name[0] == 'B' ? 1 : 0);
        bit->link = ioBits;
        appendChild(ioBits, bit);
    }
    addRecordVariable("IO1", ioBits, 0x30, 0x20);
    SymbolEntry* axis = add("AXIS_S", SymbolKind::StructDef, 1);
    addMember("POS", axis, 0);
    add("MAXAX", SymbolKind::Const, 8);

    const std::string expected = "$MP2 02\r\n"
                                 "\r\n"
                                 "[SYMBOL_TABLE 2]\r\n"
                                 ";Sel    Addr    Type    Symbol\r\n"
                                 "0030H   01a4H   BYTE    Cnt\r\n"
                                 "0030H   0020H   BYTE    IO1\r\n"
                                 "\r\n"
                                 "[BIT_FIELDS 2]\r\n"
                                 ";Bit                           Location\r\n"
                                 "BUSY" +
                                 blanks(27) +
                                 "IO1\r\n"
                                 "READY" +
                                 blanks(26) +
                                 "IO1\r\n"
                                 "\r\n"
                                 "[STRUCTURE_OFFSETS 1]\r\n"
                                 ";Name                          Offset\r\n"
                                 "POS" +
                                 blanks(28) +
                                 "0000\r\n"
                                 "\r\n"
                                 "[BIT_WEIGHTS 2]\r\n"
                                 ";Bit                           Weight\r\n"
                                 "BUSY" +
                                 blanks(27) +
                                 "01\r\n"
                                 "READY" +
                                 blanks(26) +
                                 "00\r\n"
                                 "\r\n"
                                 "[CONSTANTS 1]\r\n"
                                 ";Name                          Value\r\n"
                                 "MAXAX" +
                                 blanks(26) + "00000008\r\n";
    EXPECT_EQ(write(), expected);
    EXPECT_EQ(printed, "");
}

TEST_F(MapFixture, VariableTypesAndNumberWidths) {
    add("B", SymbolKind::Byte, 0x10030, 0x1a4); // only the selector's low 16 bits count
    add("W", SymbolKind::Word, 0x40, 0x12345);  // long addresses take more digits
    add("D", SymbolKind::DWord, 0x50, 0);
    add("Q", SymbolKind::QWord, 0x60, 8);
    add("M", SymbolKind::Mech, 0x70, 9);
    add("S", SymbolKind::Struct, 0x80, 10);
    addRecordVariable("R08", addRecordDef("T08", 8), 0x30, 1);
    addRecordVariable("R09", addRecordDef("T09", 9), 0x30, 2);
    addRecordVariable("R16", addRecordDef("T16", 16), 0x30, 3);
    addRecordVariable("R17", addRecordDef("T17", 17), 0x30, 4);
    variables = 10;
    EXPECT_EQ(symbolRows(write()), "0030H   01a4H   BYTE    B\r\n"
                                   "0050H   0000H   DWORD   D\r\n"
                                   "0070H   0009H   MECH    M\r\n"
                                   "0060H   0008H   BYTE   Q\r\n"
                                   "0030H   0001H   BYTE    R08\r\n"
                                   "0030H   0002H   WORD    R09\r\n"
                                   "0030H   0003H   WORD    R16\r\n"
                                   "0030H   0004H   DWORD   R17\r\n"
                                   "0080H   000aH   BYTE    S\r\n"
                                   "0040H   12345H   WORD    W\r\n");
}

TEST_F(MapFixture, BlankFillAndValueFormats) {
    const std::string n30(30, 'A'), n31(31, 'B'), n40(40, 'C'), n128(128, 'D');
    add(n30, SymbolKind::Const, 255);
    add(n31, SymbolKind::Const, 0xdeadbeef);
    add(n40, SymbolKind::Const, 0);
    add(n128, SymbolKind::Const, 1);
    SymbolEntry* def = add("S_T", SymbolKind::StructDef);
    addMember("OFF5", def, 5);
    addMember("OFF12345", def, 12345);
    addMember("NEG", def, 0xfffffffe); // a signed offset
    SymbolEntry* rec = add("RT", SymbolKind::RecordDef);
    SymbolEntry* bit = add("W3", SymbolKind::Bit, 0x103); // only the low 8 bits of a weight
    bit->link = rec;
    appendChild(rec, bit);
    addRecordVariable("RV", rec, 0x30, 0);

    const std::string map = write();
    EXPECT_EQ(map, Header + head(SymbolHead, 1) + "0030H   0000H   BYTE    RV\r\n" +
                       head(BitFieldHead, 1) + "W3" + blanks(29) + "RV\r\n" + head(OffsetHead, 3) +
                       "NEG" + blanks(28) + "-002\r\n" + "OFF12345" + blanks(23) + "12345\r\n" +
                       "OFF5" + blanks(27) + "0005\r\n" + head(WeightHead, 1) + "W3" + blanks(29) +
                       "03\r\n" + head(ConstantHead, 4) + n30 + " 000000ff\r\n" + n31 +
                       " deadbeef\r\n" + n40 + " 00000000\r\n" + n128 + " 00000001\r\n");
}

TEST_F(MapFixture, SortIgnoresCaseAndPutsUnderscoreBeforeLetters) {
    add("AB", SymbolKind::Byte, 1, 1);
    add("aa", SymbolKind::Byte, 1, 2);
    add("a_b", SymbolKind::Byte, 1, 3);
    add("a9", SymbolKind::Byte, 1, 4);
    add("a", SymbolKind::Byte, 1, 5);
    variables = 5;
    EXPECT_EQ(symbolRows(write()), "0001H   0005H   BYTE    a\r\n"
                                   "0001H   0004H   BYTE    a9\r\n"
                                   "0001H   0003H   BYTE    a_b\r\n"
                                   "0001H   0002H   BYTE    aa\r\n"
                                   "0001H   0001H   BYTE    AB\r\n");
}

TEST_F(MapFixture, BitsNeedAVariableAndNameTheLatestOne) {
    SymbolEntry* unused = addRecordDef("UNUSED_T", 2);
    SymbolEntry* shared = addRecordDef("FLAGS", 1);
    addRecordVariable("FIRST", shared, 0x30, 0);
    addRecordVariable("SECOND", shared, 0x30, 1);
    SymbolEntry* orphan = add("LOOSE", SymbolKind::Bit, 4); // a bit outside any record
    (void)orphan;
    (void)unused;
    const std::string map = write();
    EXPECT_NE(map.find(head(BitFieldHead, 1) + "FLAGS_B0" + blanks(23) + "SECOND\r\n" +
                       head(OffsetHead, 0) + head(WeightHead, 1) + "FLAGS_B0" + blanks(23) +
                       "00\r\n" + head(ConstantHead, 0)),
              std::string::npos);
    EXPECT_EQ(map.find("UNUSED"), std::string::npos);
    EXPECT_EQ(map.find("LOOSE"), std::string::npos);
}

TEST_F(MapFixture, MembersOfAnyKindGoOnlyToOffsets) {
    SymbolEntry* def = add("POINT", SymbolKind::StructDef, 4);
    addMember("X", def, 0)->kind = SymbolKind::Word;
    addMember("Y", def, 2)->kind = SymbolKind::Const;
    SymbolEntry* bitMember = addMember("Z", def, 3);
    bitMember->kind = SymbolKind::Bit;
    EXPECT_EQ(write(), Header + head(SymbolHead, 0) + head(BitFieldHead, 0) + head(OffsetHead, 3) +
                           "X" + blanks(30) + "0000\r\n" + "Y" + blanks(30) + "0002\r\n" + "Z" +
                           blanks(30) + "0003\r\n" + head(WeightHead, 0) + head(ConstantHead, 0));
}

TEST_F(MapFixture, ModuleBlocksOfByteBecomeMech) {
    add("MODULE_BLOCK_INIT", SymbolKind::Byte, 0x30, 0);
    add("module_block_done", SymbolKind::Byte, 0x30, 1);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(checkModuleBlocks(dictionary));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    variables = 2;
    EXPECT_EQ(symbolRows(write()), "0030H   0001H   MECH    module_block_done\r\n"
                                   "0030H   0000H   MECH    MODULE_BLOCK_INIT\r\n");
    EXPECT_EQ(errorCount(), 0u);
}

TEST_F(MapFixture, ModuleBlocksOfOtherKindsAreReportedAndKept) {
    add("MODULE_BLOCK_INIT", SymbolKind::Word, 0x30, 0);
    add("MODULE_BLOCK_DONE", SymbolKind::Mech, 0x30, 2);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(checkModuleBlocks(dictionary));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " error SV0012: Invalid type of MODULE_BLOCK_INIT.\n"
              " error SV0013: Invalid type of MODULE_BLOCK_DONE.\n");
    EXPECT_EQ(errorCount(), 2u);
    variables = 2;
    EXPECT_EQ(symbolRows(write()), "0030H   0002H   MECH    MODULE_BLOCK_DONE\r\n"
                                   "0030H   0000H   WORD    MODULE_BLOCK_INIT\r\n");
}

TEST_F(MapFixture, ExistingFileIsReplaced) {
    // A longer symbol map of an earlier run.
    testsupport::writeFile(dir.file("out.mp2"), "$MP2 02\r\n" + std::string(5000, 'x'));
    EXPECT_EQ(write().substr(0, Header.size() + 2), Header + "\r\n");
    EXPECT_EQ(write().find('x'), std::string::npos);
}

TEST_F(MapFixture, MissingDirectoryIsAnOpenError) {
    const std::string path = dir.file("no/such/dir/out.mp2");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(writeSymbolMap(path.c_str(), dictionary));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " critical error SV0001: File open error. : " + path + "\n");
    EXPECT_FALSE(testsupport::fileExists(path));
    EXPECT_EQ(errorCount(), 1u);
}

TEST_F(MapFixture, NamesSharingLongBeginningsSortByTheirWholeFoldedText) {
    // The sort settles most comparisons on the first eight characters; these names tie there.
    for (const char* name : {"ABCDEFGH_b", "abcdefgh", "ABCDEFGHa", "abcdefgh_a", "AbCdEfG",
                             "abcdefghij_LONGER_NAME_2", "ABCDEFGHIJ_longer_name_1"})
        add(name, SymbolKind::Const, 1);
    const std::string map = write();
    const std::string rows =
        map.substr(map.find(head(ConstantHead, 7)) + head(ConstantHead, 7).size());
    std::string names;
    for (std::size_t at = 0; at < rows.size(); at = rows.find("\r\n", at) + 2)
        names += rows.substr(at, rows.find(' ', at) - at) + ",";
    EXPECT_EQ(names, "AbCdEfG,abcdefgh,abcdefgh_a,ABCDEFGH_b,ABCDEFGHa,ABCDEFGHIJ_longer_name_1,"
                     "abcdefghij_LONGER_NAME_2,");
}

TEST_F(MapFixture, FailedWriteIsReportedOnce) {
    const std::string full = testsupport::fullDevicePath();
    if (full.empty())
        GTEST_SKIP() << "no device that is always full on this system";
    add("Cnt", SymbolKind::Byte, 0x30, 0x1a4);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(writeSymbolMap(full.c_str(), dictionary));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " critical error SV0011: File write error. : " + full + "\n");
    EXPECT_EQ(errorCount(), 1u);
}

// A map of many blocks whose first write fails, and one whose file reaches the size limit in
// the middle of a block (a short write) over an earlier symbol map: one message 11, failure,
// and the earlier map stays as it was, alone in its folder.
TEST_F(MapFixture, FailedBlockWriteInTheMiddleOfALargeMap) {
    for (int i = 0; i < 20000; ++i) {
        std::string name = "CONSTANT_";
        name += std::to_string(i);
        add(name, SymbolKind::Const, static_cast<std::uint32_t>(i));
    }
    const std::string whole = write();
    ASSERT_GT(whole.size(), 600000u);

    if (const std::string full = testsupport::fullDevicePath(); !full.empty()) {
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(writeSymbolMap(full.c_str(), dictionary));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  " critical error SV0011: File write error. : " + full + "\n");
        EXPECT_EQ(errorCount(), 1u);
    }
#ifdef HAVE_FILE_SIZE_LIMIT
    resetDiagnostics();
    const std::string path = dir.file("limited.mp2");
    const std::string earlier = whole.substr(0, 1000);
    testsupport::writeFile(path, earlier);
    const auto before = testsupport::folderFiles(dir.path());
    constexpr rlim_t Limit = 300000;
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < Limit)
        GTEST_SKIP() << "file size limit below the test's";
    ::testing::internal::CaptureStdout();
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = Limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool ok = writeSymbolMap(path.c_str(), dictionary);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " critical error SV0011: File write error. : " + path + "\n");
    EXPECT_EQ(errorCount(), 1u);
    EXPECT_EQ(testsupport::folderFiles(dir.path()), before);
#endif
}

} // namespace
