#include "diagnostics.h"

#include <gtest/gtest.h>
#include <string>

using namespace symmap;

namespace {

class Diagnostics : public ::testing::Test {
  protected:
    void SetUp() override { resetDiagnostics(); }
    void TearDown() override { resetDiagnostics(); }

    // What one report prints, and its result.
    std::string print(int number, const char* file, int line, int column,
                      std::optional<std::string_view> extra = std::nullopt) {
        ::testing::internal::CaptureStdout();
        lastResult = reportMessage(static_cast<MessageId>(number), file, line, column, extra);
        return ::testing::internal::GetCapturedStdout();
    }

    bool lastResult = false;
};

TEST_F(Diagnostics, PositionForms) {
    EXPECT_EQ(print(8, "a.lst", 12, 4, "X"), "");
    setWarningsMode(true);
    EXPECT_EQ(print(8, "a.lst", 12, 4, "X"),
              "a.lst(13:5) warning SV0008: Invalid character. : X\n");
    EXPECT_EQ(print(7, "a.lst", 0, 0), "a.lst(1:1) warning SV0007: Too long identifier.\n");
    EXPECT_EQ(print(40, "b.map", 4, -1, "SYM"),
              "b.map(5) warning SV0040: Inconsistent informations. : SYM\n");
    EXPECT_EQ(print(4, "b.map", -1, 7), "b.map critical error SV0004: File read error.\n");
    EXPECT_EQ(print(2, nullptr, -1, -1, "/q"),
              " error SV0002: Invalid command-line option. : /q\n");
    EXPECT_EQ(print(3, nullptr, -1, -1),
              " critical error SV0003: Too few command-line parameters.\n");
    EXPECT_EQ(print(9, nullptr, -1, -1), " critical error SV0009: Not enought memory.\n");
    // Reserved numbers print an empty text.
    EXPECT_EQ(print(20, nullptr, 2, -1), "(3) warning SV0020: \n");
    EXPECT_EQ(print(1, nullptr, -1, -1, std::string_view("a\0b", 3)),
              std::string(" critical error SV0001: File open error. : a\0b\n", 47));
}

TEST_F(Diagnostics, WarningsAreCountedWhetherPrintedOrNot) {
    EXPECT_EQ(print(31, "x.lst", 1, 1), "");
    EXPECT_TRUE(lastResult);
    EXPECT_EQ(warningCount(), 1u);
    EXPECT_EQ(errorCount(), 0u);
    setWarningsMode(true);
    EXPECT_NE(print(31, "x.lst", 1, 1), "");
    EXPECT_EQ(warningCount(), 2u);
    print(12, nullptr, -1, -1);
    print(0, nullptr, -1, -1);
    EXPECT_EQ(errorCount(), 2u);
    EXPECT_EQ(warningCount(), 2u);
}

TEST_F(Diagnostics, TwentiethErrorTellsCallersToStop) {
    for (int i = 1; i < 19; ++i)
        print(i % 2 == 0 ? 2 : 1, nullptr, -1, -1);
    EXPECT_TRUE(print(8, nullptr, -1, -1).empty());
    EXPECT_TRUE(lastResult); // 18 errors and a warning
    print(12, nullptr, -1, -1);
    EXPECT_TRUE(lastResult); // the nineteenth error
    EXPECT_EQ(print(13, nullptr, -1, -1), " error SV0013: Invalid type of MODULE_BLOCK_DONE.\n");
    EXPECT_FALSE(lastResult); // the twentieth error is still printed, and stops the caller
    print(8, nullptr, -1, -1);
    EXPECT_FALSE(lastResult);
    EXPECT_EQ(print(5, nullptr, -1, -1, "x"), " error SV0005: Invalid command-file option. : x\n");
    EXPECT_FALSE(lastResult);
    EXPECT_EQ(errorCount(), 21u);
    EXPECT_EQ(warningCount(), 2u);
}

// Build logs and the scripts that read them depend on every byte of these lines.
TEST_F(Diagnostics, EveryNamedMessagePrintsItsTextByteForByte) {
    setWarningsMode(true);
    const struct {
        MessageId id;
        const char* line;
    } messages[] = {
        {MsgInternalError, " critical error SV0000: Internal error.\n"},
        {MsgFileOpen, " critical error SV0001: File open error.\n"},
        {MsgInvalidCommandLineOption, " error SV0002: Invalid command-line option.\n"},
        {MsgTooFewCommandLineParameters,
         " critical error SV0003: Too few command-line parameters.\n"},
        {MsgFileRead, " critical error SV0004: File read error.\n"},
        {MsgInvalidCommandFileOption, " error SV0005: Invalid command-file option.\n"},
        {MsgTooFewCommandFileParameters,
         " critical error SV0006: Too few command-file parameters.\n"},
        {MsgIdentifierTooLong, " warning SV0007: Too long identifier.\n"},
        {MsgInvalidCharacter, " warning SV0008: Invalid character.\n"},
        {MsgOutOfMemory, " critical error SV0009: Not enought memory.\n"},
        {MsgFileClose, " critical error SV0010: File close error.\n"},
        {MsgFileWrite, " critical error SV0011: File write error.\n"},
        {MsgInvalidModuleBlockInit, " error SV0012: Invalid type of MODULE_BLOCK_INIT.\n"},
        {MsgInvalidModuleBlockDone, " error SV0013: Invalid type of MODULE_BLOCK_DONE.\n"},
        {MsgOutputNotASymbolMap, " critical error SV0014: Output file is not a symbol map.\n"},
        {MsgOutputIsAnInput, " critical error SV0015: Output file is an input file.\n"},
        {MsgMultipleDefinition,
         " warning SV0030: Multiple structure or structure item definition.\n"},
        {MsgInvalidBitWeight, " warning SV0031: Invalid bit weight.\n"},
        {MsgExpectStructureOrRecord, " warning SV0032: Expect structure or record name.\n"},
        {MsgInconsistentMap, " warning SV0040: Inconsistent informations.\n"},
    };
    for (const auto& message : messages)
        EXPECT_EQ(print(message.id, nullptr, -1, -1), message.line);
}

} // namespace
