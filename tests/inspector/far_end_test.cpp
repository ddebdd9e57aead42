// Plcinfo on an image set mixed from two builds: every image of one build carries the same
// farEnd, so an image of a build with another farEnd is bad and named, in a folder and in the
// joined file the joiner makes of it.
#include "plc_generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using testsupport::runProgram;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

// Splits the program into `dir`/images/ with Tessan.
void split(const plcgen::ProgramLayout& layout, const TempDir& dir) {
    std::string error;
    ASSERT_TRUE(plcgen::writeProgram(layout, dir.file("KORVEX.EXE"), dir.file("KORVEX.map"),
                                     dir.file("Make.knf"), error))
        << error;
    std::filesystem::create_directory(dir.file("images"));
    const RunResult run = runProgram(TESSAN_PATH, {dir.file("images/"), dir.file("KORVEX.EXE"),
                                                   dir.file("KORVEX.map"), dir.file("Make.knf")});
    ASSERT_EQ(run.exitStatus, 0) << run.output;
}

// The lines of `output` that name Plc_e005.bin, and its last line.
std::string linesOfImageFive(const std::string& output) {
    std::string lines;
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t end = output.find('\n', at);
        const std::string line = output.substr(at, end - at + 1);
        if (line.find("Plc_e005.bin") != std::string::npos || end + 1 == output.size())
            lines += line;
        at = end + 1;
    }
    return lines;
}

TEST(ImageSet, AnImageOfABuildWithAnotherFarEndIsNamed) {
    TempDir one;
    TempDir other;
    plcgen::ProgramLayout layout = plcgen::standardProgram();
    split(layout, one);
    plcgen::findPublic(layout, "??SEC_PROC_FAR_END")->offset += 2;
    split(layout, other);
    testsupport::writeFile(one.file("images/Plc_e005.bin"),
                           testsupport::readFile(other.file("images/Plc_e005.bin")));

    const RunResult folder = runProgram(PLCINFO_PATH, {one.file("images")});
    EXPECT_EQ(linesOfImageFive(folder.output),
              "Plc_e005.bin  0000003C  003C ok        02D2 ok        001C ok        10AA ok        "
              "0020 ok        19F2 BAD 19F0\nPlc_e005.bin: farEnd 19F2, the other images' 19F0: an "
              "image of another build\n1 of seventeen images bad\n");
    EXPECT_EQ(folder.exitStatus, 1);
    testsupport::writeFile(one.file("PLC_ENDP.DAT"), "end part");
    const RunResult join =
        runProgram(ORLUND_PATH, {one.file("images/"), "JOINED.PLC", one.file("PLC_ENDP.DAT")});
    ASSERT_EQ(join.exitStatus, 0) << join.output;
    const RunResult joined = runProgram(PLCINFO_PATH, {one.file("images/JOINED.PLC")});
    EXPECT_EQ(linesOfImageFive(joined.output),
              "Plc_e005.bin  00000500  0000003C  003C ok        02D2 ok        001C ok        10AA "
              "ok        0020 ok        19F2 BAD 19F0\nPlc_e005.bin: farEnd 19F2, the other "
              "images' 19F0: an image of another build\n1 of seventeen images bad\n");
    EXPECT_EQ(joined.exitStatus, 1);
    const RunResult json = runProgram(PLCINFO_PATH, {"--json", one.file("images")});
    EXPECT_NE(json.output.find("\"checks\": {\"fileLength\": true, \"headerCheck\": true, "
                               "\"dataLength\": true, \"dataCheck\": true, \"dataOffset\": true, "
                               "\"farEnd\": false}"),
              std::string::npos);
}

} // namespace
