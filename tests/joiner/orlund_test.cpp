// The built Orlund run end to end on images written into a temporary folder: standard
// output, exit status and the joined file's bytes.
#include "image_files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

using namespace testsupport;
using imagefiles::ImageNames;

namespace {

const std::string kBanner = "\nJoint files by ORLUND                 Version 1.3   <notice>\n";
const std::string kOpenError = "\nError: Source file cannot be opened\n";

// Sizes around the 512-byte buffer, an empty image among them.
const std::size_t kSizes[] = {1500, 512, 0, 1024, 1,  511, 513,  32, 2048,
                              7,    100, 3, 999,  64, 0,   1025, 300};

// Content that differs from image to image and from byte to byte.
std::string imageBytes(std::size_t index, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + index * 31 + i / 256) & 0xFF);
    return bytes;
}

// Writes the seventeen images as "<prefix><name>"; returns their concatenation.
std::string writeImages(const std::string& prefix) {
    std::string joined;
    for (std::size_t i = 0; i < std::size(ImageNames); ++i) {
        const std::string bytes = imageBytes(i, kSizes[i]);
        writeFile(prefix + ImageNames[i], bytes);
        joined += bytes;
    }
    return joined;
}

// Runs Orlund; the banner's notice is replaced by "<notice>".
RunResult runOrlund(const std::vector<std::string>& args, const std::string& workDir = {}) {
    RunResult result = runProgram(ORLUND_PATH, args, workDir);
    const std::string head = "Version 1.3   ";
    const std::size_t start = result.output.find(head);
    const std::size_t end = result.output.find('\n', start + head.size());
    if (start != std::string::npos && end != std::string::npos)
        result.output.replace(start + head.size(), end - start - head.size(), "<notice>");
    return result;
}

TEST(Orlund, JoinsTheSeventeenImagesAndTheEndFileInTableOrder) {
    TempDir dir;
    const std::string images = writeImages(dir.path() + "/");
    const std::string end = imageBytes(99, 700);
    writeFile(dir.file("PLC_ENDP"), end);
    // Extra arguments are ignored.
    const RunResult run =
        runOrlund({dir.path() + "/", "joined.bin", dir.file("PLC_ENDP"), "surplus", "NO"});
    EXPECT_EQ(run.output, kBanner);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(readFile(dir.file("joined.bin")), images + end);
}

// A missing fifth image ends the join; an earlier joined file stays as it was, and no
// temporary is left beside it.
TEST(Orlund, MissingFifthImageLeavesAnEarlierJoinedFileAsItWas) {
    TempDir dir;
    writeImages(dir.path() + "/");
    std::filesystem::remove(dir.file("Plc_e005.bin"));
    writeFile(dir.file("PLC_ENDP"), "end");
    writeFile(dir.file("joined.bin"), "an earlier join");
    const auto before = folderFiles(dir.path());
    const RunResult run = runOrlund({dir.path() + "/", "joined.bin", dir.file("PLC_ENDP")});
    EXPECT_EQ(run.output, kBanner + kOpenError);
    EXPECT_EQ(run.exitStatus, FailureStatus);
    EXPECT_EQ(folderFiles(dir.path()), before);
}

TEST(Orlund, OutputPathIsAPlainPrefixOfAnyLength) {
    TempDir dir;
    // Far longer than 80 characters, and glued to the names with no separator.
    const std::string prefix = dir.file(std::string(150, 'd')) + "/" + std::string(120, 'p');
    std::filesystem::create_directory(dir.file(std::string(150, 'd')));
    const std::string images = writeImages(prefix);
    writeFile(dir.file("Plc_EndP"), "end");
    // A bare PLC_ENDP name is looked for in the current folder, not under the output path;
    // the one under the output path must not be taken.
    writeFile(prefix + "Plc_EndP", "wrong");
    const RunResult run = runOrlund({prefix, "out.bin", "PLC_ENDP"}, dir.path());
    EXPECT_EQ(run.output, kBanner);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(readFile(prefix + "out.bin"), images + "end");
}

TEST(Orlund, OnlyUpperCaseNoSkipsTheJoin) {
    TempDir dir;
    const std::string images = writeImages(dir.path() + "/");
    writeFile(dir.file("end"), "E");
    for (const std::string name : {"no", "No", "nO"}) {
        const RunResult run = runOrlund({dir.path() + "/", name, dir.file("end")});
        EXPECT_EQ(run.output, kBanner) << name;
        EXPECT_EQ(run.exitStatus, 0) << name;
        EXPECT_EQ(readFile(dir.file(name)), images + "E") << name;
    }
    TempDir empty;
    const RunResult run = runOrlund({empty.path() + "/", "NO", "missing"});
    EXPECT_EQ(run.output, kBanner);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(std::filesystem::is_empty(empty.path()));
}

TEST(Orlund, FewerThanThreeArgumentsPrintTheSyntax) {
    TempDir dir;
    const std::string syntax = "\nSyntax: ORLUND (path-output) (dest.file name) (PLC_ENDP name)\n";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {dir.path() + "/"}, {dir.path() + "/", "joined.bin"}}) {
        const RunResult run = runOrlund(args, dir.path());
        EXPECT_EQ(run.output, kBanner + syntax);
        EXPECT_EQ(run.exitStatus, FailureStatus);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Orlund, FailuresEndTheRunWithFailureAndCreateNothing) {
    TempDir dir;
    const std::string images = writeImages(dir.path() + "/");
    writeFile(dir.file("end"), "E");
    const std::string path = dir.path() + "/";

    RunResult run = runOrlund({path, "no-such-folder/joined.bin", dir.file("end")});
    EXPECT_EQ(run.output, kBanner + "\nError: Destination file cannot be created\n");
    EXPECT_EQ(run.exitStatus, FailureStatus);

    // The file opens, its first read fails.
    const UnreadableFile unreadable;
    const auto before = folderFiles(dir.path());
    run = runOrlund({path, "joined.bin", unreadable.path()});
    EXPECT_EQ(run.output, kBanner + "\nError: Source file cannot be read\n");
    EXPECT_EQ(run.exitStatus, FailureStatus);
    EXPECT_EQ(folderFiles(dir.path()), before);

    // A full disk: the destination is a link to a device that refuses every write, written in
    // place as every device is. Wine
    // creates no symbolic links, and Windows has no such device, so this runs on POSIX only.
#ifndef _WIN32
    if (const std::string full = fullDevicePath(); !full.empty()) {
        std::filesystem::create_symlink(full, dir.file("full.bin"));
        run = runOrlund({path, "full.bin", dir.file("end")});
        EXPECT_EQ(run.output, kBanner + "\nError: Destination file cannot be written\n");
        EXPECT_EQ(run.exitStatus, FailureStatus);
    }
#endif
}

#ifdef _WIN32
// Files that another program holds open: an image being written elsewhere cannot be read, and
// a destination that another program keeps open cannot be replaced: refused as it cannot be
// created when that program lets nobody write, as it cannot be written when the rename onto it
// is refused. The earlier joined file stays as it was, no temporary beside it.
TEST(Orlund, FilesHeldOpenByAnotherProgram) {
    TempDir dir;
    writeImages(dir.path() + "/");
    writeFile(dir.file("end"), "E");
    writeFile(dir.file("joined.bin"), "an earlier join");
    const auto before = folderFiles(dir.path());
    const std::string path = dir.path() + "/";
    {
        const HeldFile held(dir.file("Plc_e003.bin"), true, true);
        ASSERT_TRUE(held.isOpen());
        const RunResult run = runOrlund({path, "joined.bin", dir.file("end")});
        EXPECT_EQ(run.output, kBanner + kOpenError);
        EXPECT_EQ(run.exitStatus, FailureStatus);
    }
    EXPECT_EQ(folderFiles(dir.path()), before);
    {
        const HeldFile held(dir.file("joined.bin"), false, true);
        ASSERT_TRUE(held.isOpen());
        const RunResult run = runOrlund({path, "joined.bin", dir.file("end")});
        EXPECT_EQ(run.output, kBanner + "\nError: Destination file cannot be created\n");
        EXPECT_EQ(run.exitStatus, FailureStatus);
    }
    EXPECT_EQ(folderFiles(dir.path()), before);
    const HeldFile held(dir.file("joined.bin"), false, true, true);
    ASSERT_TRUE(held.isOpen());
    const RunResult run = runOrlund({path, "joined.bin", dir.file("end")});
    EXPECT_EQ(run.output, kBanner + "\nError: Destination file cannot be written\n");
    EXPECT_EQ(run.exitStatus, FailureStatus);
    EXPECT_EQ(folderFiles(dir.path()), before);
}
#endif

} // namespace

namespace {

const std::string kSameFileError = "\nError: Destination is one of the source files\n";

TEST(OrlundGuard, ExistingDestinationThatIsASourceIsNotTouched) {
    TempDir dir;
    const std::string path = dir.path() + "/";
    writeImages(path);
    writeFile(dir.file("PLC_ENDP.DAT"), "end");
    std::filesystem::create_hard_link(dir.file("Plc_e009.bin"), dir.file("linked.bin"));
    // (A hard link where the system makes no symbolic ones.)
    if (!makeSymbolicLink(dir.file("PLC_ENDP.DAT"), dir.file("endp-link")))
        std::filesystem::create_hard_link(dir.file("PLC_ENDP.DAT"), dir.file("endp-link"));
    // The first image under the splitter's name, which the joiner finds ignoring case, another
    // image through a hard link, the end file through a symbolic link.
    for (const std::string destination : {"Plc_main.bin", "linked.bin", "endp-link"}) {
        const RunResult run = runOrlund({path, destination, dir.file("PLC_ENDP.DAT")});
        EXPECT_EQ(run.output, kBanner + kSameFileError) << destination;
        EXPECT_EQ(run.exitStatus, FailureStatus) << destination;
        for (std::size_t i = 0; i < std::size(ImageNames); ++i)
            EXPECT_EQ(readFile(dir.file(ImageNames[i])), imageBytes(i, kSizes[i]));
        EXPECT_EQ(readFile(dir.file("PLC_ENDP.DAT")), "end");
    }
}

// A new destination that the lookup of an image or of the end file would find once it is
// created is refused before anything is created. A name that the lookup would not take (an
// image of that name ignoring case sorts before it) is joined.
TEST(OrlundGuard, NewDestinationThatALookupWouldFindIsRefused) {
    TempDir dir;
    const std::string path = dir.path() + "/";
    const std::string images = writeImages(path);
    const auto before = folderFiles(dir.path());
    // The third image's name as the joiner asks for it, and the name of an end file that is not
    // there yet, as the lookup in the current folder would find it.
    for (const std::string destination : {"PLC_E003.BIN", "pLC_ENDP.dat"}) {
        const RunResult run = runOrlund({path, destination, "PLC_ENDP.DAT"}, dir.path());
        EXPECT_EQ(run.output, kBanner + kSameFileError) << destination;
        EXPECT_EQ(run.exitStatus, FailureStatus) << destination;
        EXPECT_EQ(folderFiles(dir.path()), before) << destination;
    }
#ifndef _WIN32
    // "Plc_e003.bin" sorts before "plc_e003.bin": the lookup takes the image, so this joins.
    writeFile(dir.file("end"), "E");
    const RunResult joined = runOrlund({path, "plc_e003.bin", dir.file("end")});
    EXPECT_EQ(joined.output, kBanner);
    EXPECT_EQ(readFile(dir.file("plc_e003.bin")), images + "E");
#endif
}

} // namespace
