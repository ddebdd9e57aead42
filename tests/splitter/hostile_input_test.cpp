// Hostile input: truncated executables, header sizes and segment ranges past the end, maps of
// noise. The splitter refuses them with a message and never reads outside the executable.
#include "image_files.h"
#include "plc_generator.h"
#include "splitter.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

using namespace imagefiles;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

struct Outcome {
    bool written = false;
    std::string messages;
};

// Runs the four phases in process on the inputs in `dir`, images into dir/out/.
Outcome runPhases(const TempDir& dir) {
    std::filesystem::remove_all(dir.file("out"));
    std::filesystem::create_directories(dir.file("out"));
    tessan::SegmentTable table;
    tessan::ImageView image;
    tessan::CommentBlock comment;
    Outcome outcome;
    testing::internal::CaptureStdout();
    outcome.written = tessan::scanMapSegments(dir.file("KORVEX.map").c_str(), table) &&
                      tessan::loadImage(dir.file("KORVEX.EXE").c_str(), image) &&
                      tessan::scanMakeComment(dir.file("Make.knf").c_str(), comment) &&
                      tessan::writePlcFiles(dir.file("out") + "/", table, image, comment);
    outcome.messages = testing::internal::GetCapturedStdout();
    return outcome;
}

Outcome runLayout(const plcgen::ProgramLayout& layout, const TempDir& dir) {
    testsupport::writeProject(layout, dir.path());
    return runPhases(dir);
}

bool anyImage(const TempDir& dir) {
    return !std::filesystem::is_empty(dir.file("out"));
}

} // namespace

TEST(HostileInput, InvalidExecutableHeader) {
    TempDir dir;
    const plcgen::ProgramLayout layout = plcgen::standardProgram();
    testsupport::writeProject(layout, dir.path());
    const std::string exe = plcgen::buildExecutable(layout);
    const std::string message = "\nError: 20, Invalid EXE header: " + dir.file("KORVEX.EXE") + "\n";
    for (std::size_t size : {std::size_t{0}, std::size_t{8}, std::size_t{27}}) {
        writeFile(dir.file("KORVEX.EXE"), exe.substr(0, size));
        const Outcome outcome = runPhases(dir);
        EXPECT_FALSE(outcome.written);
        EXPECT_EQ(outcome.messages, message) << size;
    }
    // Without "MZ" or "ZM" in front, a file is no executable whatever its length; "ZM" is one.
    for (const char* signature : {"\0\0", "mz", "MM"}) {
        std::string noExe = std::string(signature, 2) + std::string(100000, '\0');
        writeFile(dir.file("KORVEX.EXE"), noExe);
        EXPECT_EQ(runPhases(dir).messages, message) << signature;
    }
    std::string swapped = exe;
    swapped[0] = 'Z';
    swapped[1] = 'M';
    writeFile(dir.file("KORVEX.EXE"), swapped);
    EXPECT_TRUE(runPhases(dir).written);
    // Header size x 16 past the end of the file; exactly at the end is still accepted.
    std::string header = exe.substr(0, 32);
    header[8] = 3;
    writeFile(dir.file("KORVEX.EXE"), header);
    EXPECT_EQ(runPhases(dir).messages, message);
    header[8] = 2;
    writeFile(dir.file("KORVEX.EXE"), header);
    EXPECT_EQ(runPhases(dir).messages, "\nError: 21, Segment out of range: CODE4\n");
    EXPECT_FALSE(anyImage(dir));
}

TEST(HostileInput, EachRangeCheckedBeforeTheFirstImage) {
    struct Case {
        const char* segment;
        std::uint32_t start;
        std::uint32_t length;
        const char* name;
    };
    // Too short for its layout, a Length below 4, or bytes past the end of the file.
    const Case cases[] = {
        {"CODE4", 0, 64 + 3, "CODE4"},
        {"CODE4", 0, 3, "CODE4"},
        {"CODE4", 0x2600, 0x105, "CODE4"},
        {"CODE5", 0x200, 6176 + 3, "CODE5"},
        {"CODE5", 0x2000, 0x700 + 6144 + 5, "CODE5"},
        {"CODE_UNIT03", 0x1C00, 35, "CODE_UNIT03"},
        {"CODE_UNIT17", 0x2700, 36, "CODE_UNIT17"},
        {"CODE_UNIT09", 0xF0000, 0x40, "CODE_UNIT09"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        plcgen::ProgramLayout layout = plcgen::standardProgram();
        plcgen::SegmentLayout& segment = *plcgen::findSegment(layout, c.segment);
        segment.start = c.start;
        segment.length = c.length;
        segment.bytes.clear();
        const std::string exe = plcgen::buildExecutable(plcgen::standardProgram());
        testsupport::writeProject(layout, dir.path());
        writeFile(dir.file("KORVEX.EXE"), exe); // the file keeps its size of 512 + 0x2700
        const Outcome outcome = runPhases(dir);
        EXPECT_FALSE(outcome.written) << c.segment;
        EXPECT_EQ(outcome.messages,
                  std::string("\nError: 21, Segment out of range: ") + c.name + "\n");
        EXPECT_FALSE(anyImage(dir)) << c.segment;
    }
    // CODE5's last 6144 bytes are never read, so they may lie past the end of the file.
    TempDir dir;
    plcgen::ProgramLayout layout = plcgen::standardProgram();
    plcgen::SegmentLayout& far = *plcgen::findSegment(layout, "CODE5");
    far.start = 0x2000;
    far.length = 0x700 + 6144 + 4;
    far.bytes.clear();
    testsupport::writeProject(layout, dir.path());
    writeFile(dir.file("KORVEX.EXE"), plcgen::buildExecutable(plcgen::standardProgram()));
    EXPECT_TRUE(runPhases(dir).written);
}

TEST(HostileInput, DusrBlockRange) {
    for (auto [loadOffset, endOffset] : {std::pair{0x0180, 0x0100}, std::pair{0x0100, 0x06F1}}) {
        TempDir dir;
        plcgen::ProgramLayout layout = plcgen::standardProgram();
        plcgen::findPublic(layout, "??SEC_PROC_DUSR_LOAD")->offset =
            static_cast<std::uint16_t>(loadOffset);
        plcgen::findPublic(layout, "??SEC_PROC_DUSR_END")->offset =
            static_cast<std::uint16_t>(endOffset);
        const Outcome outcome = runLayout(layout, dir);
        EXPECT_EQ(outcome.messages, "\nError: 21, Segment out of range: DUSR\n");
        EXPECT_FALSE(anyImage(dir));
    }
    // The block may end exactly at the end of the file.
    TempDir dir;
    plcgen::ProgramLayout layout = plcgen::standardProgram();
    plcgen::findPublic(layout, "??SEC_PROC_DUSR_END")->offset = 0x06F0;
    EXPECT_TRUE(runLayout(layout, dir).written);
}

TEST(HostileInput, NoiseMapsNeverCrash) {
    std::mt19937 random(20261208);
    TempDir dir;
    for (int round = 0; round < 200; ++round) {
        std::string noise(1 + random() % 3000, '\0');
        for (char& c : noise)
            c = static_cast<char>(random() % 4 == 0 ? " \t\r\n"[random() % 4] : random() % 256);
        writeFile(dir.file("noise.map"), noise);
        tessan::SegmentTable table;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(tessan::scanMapSegments(dir.file("noise.map").c_str(), table));
        testing::internal::GetCapturedStdout();
    }
}

// Random layouts, header sizes and truncations: every run either writes exactly the images
// worked out independently or refuses with one numbered message and writes nothing.
TEST(HostileInput, RandomLayoutsAreWrittenExactlyOrRefused) {
    std::mt19937 random(4);
    TempDir dir;
    int written = 0;
    for (int round = 0; round < 150; ++round) {
        plcgen::ProgramLayout layout = plcgen::standardProgram();
        layout.headerParagraphs = static_cast<std::uint16_t>(2 + random() % 64);
        for (auto& segment : layout.segments) {
            if (random() % 6 == 0)
                segment.start = static_cast<std::uint32_t>(random() % 0x2800);
            if (random() % 6 == 0)
                segment.length = static_cast<std::uint32_t>(random() % 0x2000);
        }
        for (auto& symbol : layout.publics)
            if (random() % 4 == 0)
                symbol.offset = static_cast<std::uint16_t>(random() % 0x800);
        std::string exe = plcgen::buildExecutable(layout);
        if (random() % 3 == 0)
            exe.resize(random() % exe.size());
        testsupport::writeProject(layout, dir.path());
        writeFile(dir.file("KORVEX.EXE"), exe);
        const Outcome outcome = runPhases(dir);
        if (!outcome.written) {
            EXPECT_EQ(outcome.messages.rfind("\nError: 2", 0), 0u) << outcome.messages;
            EXPECT_FALSE(anyImage(dir));
            continue;
        }
        ++written;
        EXPECT_EQ(outcome.messages, "");
        for (const auto& [name, bytes] : expectedImages(layout, exe, commentBlock("Line 7 press")))
            EXPECT_EQ(readFile(dir.file("out") + "/" + name), bytes) << name << " round " << round;
    }
    EXPECT_GT(written, 10);
}
