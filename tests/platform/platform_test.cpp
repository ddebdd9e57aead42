#include "platform.h"
#include "test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testsupport::TempDir;

namespace {

TEST(PlatformFiles, WrittenBytesReadBackAndReplaceOldContents) {
    TempDir dir;
    const std::string path = dir.file("out.bin");
    platform::File file;
    ASSERT_TRUE(platform::createForWriting(path.c_str(), file));
    ASSERT_TRUE(platform::writeAll(file, "old contents that are longer", 28));
    ASSERT_TRUE(platform::closeFile(file));

    ASSERT_TRUE(platform::createForWriting(path.c_str(), file));
    ASSERT_TRUE(platform::writeAll(file, "new\0x", 5));
    ASSERT_TRUE(platform::writeAll(file, "", 0));
    ASSERT_TRUE(platform::closeFile(file));
    EXPECT_FALSE(platform::isOpen(file));
    EXPECT_EQ(testsupport::readFile(path), std::string("new\0x", 5));

    ASSERT_TRUE(platform::openForReading(path.c_str(), file));
    std::uint64_t size = 0;
    ASSERT_TRUE(platform::fileSize(file, size));
    EXPECT_EQ(size, 5u);
    char buffer[8];
    std::size_t got = 0;
    ASSERT_TRUE(platform::readBytes(file, buffer, 3, got));
    EXPECT_EQ(got, 3u);
    ASSERT_TRUE(platform::readBytes(file, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 2u);
    ASSERT_TRUE(platform::readBytes(file, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(platform::closeFile(file));
}

// An output goes to a temporary that takes the output's name only when committed: discarded,
// or gone out of scope uncommitted after a move, it leaves nothing; committed as a set of two,
// each name holds its new bytes and nothing else is left. A folder or a path that cannot name a
// file is refused before anything is created.
TEST(PlatformOutputs, TemporaryTakesTheNameOnlyWhenCommitted) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    for (const std::string& path :
         {std::string(), dir.file("sub"), dir.path() + "/", dir.file("."), dir.file("..")}) {
        platform::OutputFile output;
        EXPECT_FALSE(platform::beginOutput(path.c_str(), output)) << path;
    }
    EXPECT_EQ(testsupport::folderFiles(dir.path()).size(), 0u);

    testsupport::writeFile(dir.file("a.bin"), "old a");
    platform::OutputFile outputs[2];
    ASSERT_TRUE(platform::beginOutput(dir.file("a.bin").c_str(), outputs[0]));
    ASSERT_TRUE(platform::writeAll(outputs[0].file, "new a", 5));
    platform::discardOutput(outputs[0]);
    EXPECT_EQ(testsupport::folderFiles(dir.path()),
              (std::map<std::string, std::string>{{"a.bin", "old a"}}));
    {
        platform::OutputFile output;
        ASSERT_TRUE(platform::beginOutput(dir.file("a.bin").c_str(), output));
        ASSERT_TRUE(platform::writeAll(output.file, "new a", 5));
        const platform::OutputFile moved = std::move(output);
        EXPECT_EQ(testsupport::folderFiles(dir.path()).size(), 2u);
    }
    EXPECT_EQ(testsupport::folderFiles(dir.path()),
              (std::map<std::string, std::string>{{"a.bin", "old a"}}));

    for (int i = 0; i < 2; ++i) {
        const std::string name = i == 0 ? "a.bin" : "b.bin";
        ASSERT_TRUE(platform::beginOutput(dir.file(name).c_str(), outputs[i]));
        ASSERT_TRUE(platform::writeAll(outputs[i].file, name.c_str(), name.size()));
        ASSERT_TRUE(platform::closeOutput(outputs[i]));
    }
    EXPECT_EQ(testsupport::folderFiles(dir.path()).size(), 3u); // a.bin and two temporaries
    std::size_t failed = 0;
    ASSERT_TRUE(platform::commitOutputs(outputs, 2, failed));
    EXPECT_EQ(testsupport::folderFiles(dir.path()),
              (std::map<std::string, std::string>{{"a.bin", "a.bin"}, {"b.bin", "b.bin"}}));
}

#ifndef _WIN32
// Runs `body` in a child process and returns how it ended, as waitpid tells it.
template <typename Body> int inChildProcess(Body body) {
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
    }
    return status;
}

// SIGPIPE, as for a run piped into a program that stops reading, removes the temporaries and
// ends the process as the signal does. The commit adds the interruptions to the caller's
// signal mask and takes none of the caller's off it.
TEST(PlatformOutputs, BrokenPipeRemovesTheTemporaryAndTheCallersMaskStays) {
    TempDir dir;
    const int piped = inChildProcess([&] {
        // A commit of an earlier test in this process has held the interruptions.
        sigset_t mask;
        sigemptyset(&mask);
        sigprocmask(SIG_SETMASK, &mask, nullptr);
        platform::OutputFile output;
        if (!platform::beginOutput(dir.file("a.bin").c_str(), output))
            return 1;
        raise(SIGPIPE);
        return 2;
    });
    EXPECT_TRUE(WIFSIGNALED(piped) && WTERMSIG(piped) == SIGPIPE) << piped;
    EXPECT_TRUE(testsupport::folderFiles(dir.path()).empty());

    const int committed = inChildProcess([&] {
        sigset_t mask;
        sigemptyset(&mask);
        sigaddset(&mask, SIGTERM);
        sigaddset(&mask, SIGUSR1);
        sigprocmask(SIG_SETMASK, &mask, nullptr);
        platform::OutputFile output;
        std::size_t failed = 0;
        if (!platform::beginOutput(dir.file("a.bin").c_str(), output) ||
            !platform::closeOutput(output) || !platform::commitOutputs(&output, 1, failed))
            return 1;
        sigprocmask(SIG_SETMASK, nullptr, &mask);
        return sigismember(&mask, SIGTERM) && sigismember(&mask, SIGUSR1) &&
                       sigismember(&mask, SIGINT)
                   ? 0
                   : 3;
    });
    EXPECT_TRUE(WIFEXITED(committed) && WEXITSTATUS(committed) == 0) << committed;
    EXPECT_EQ(testsupport::folderFiles(dir.path()),
              (std::map<std::string, std::string>{{"a.bin", ""}}));
}
#endif

TEST(PlatformFiles, MissingFilesAndDirectoriesCannotBeOpened) {
    TempDir dir;
    platform::File file;
    EXPECT_FALSE(platform::openForReading(dir.file("missing").c_str(), file));
    EXPECT_FALSE(platform::isOpen(file));
    EXPECT_FALSE(platform::openForReading(dir.path().c_str(), file));
    EXPECT_FALSE(platform::isOpen(file));
    EXPECT_FALSE(platform::createForWriting(dir.file("no/such/dir").c_str(), file));
    EXPECT_FALSE(platform::createForWriting(dir.path().c_str(), file));
    EXPECT_TRUE(platform::closeFile(file)); // closing nothing succeeds
}

TEST(PlatformFiles, FailedWritesAndReadsAreReportedAsFailures) {
    platform::File file;
    char buffer[8];
    std::size_t got = 1;
    const testsupport::UnreadableFile unreadable;
    ASSERT_TRUE(platform::openForReading(unreadable.path().c_str(), file));
    EXPECT_FALSE(platform::readBytes(file, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
    platform::closeFile(file);

    const std::string full = testsupport::fullDevicePath();
    if (full.empty())
        GTEST_SKIP() << "no device that is always full on this system";
    ASSERT_TRUE(platform::createForWriting(full.c_str(), file));
    EXPECT_FALSE(platform::writeAll(file, "x", 1));
    platform::closeFile(file);
}

TEST(PlatformFiles, PathsLongerThanTheSystemsOldLimit) {
    TempDir dir;
    // Two folders of 150 characters and a file of 120: more than 260 characters however the
    // temporary folder is named.
    const std::string folder = dir.file(std::string(150, 'd')) + "/" + std::string(150, 'e');
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + std::string(120, 'f');
    platform::File file;
    ASSERT_TRUE(platform::createForWriting(path.c_str(), file));
    ASSERT_TRUE(platform::writeAll(file, "long", 4));
    ASSERT_TRUE(platform::closeFile(file));
    EXPECT_TRUE(platform::existsAsFile(path.c_str()));
    EXPECT_FALSE(platform::existsAsFile(folder.c_str()));
    ASSERT_TRUE(platform::openForReading(path.c_str(), file));
    char buffer[8];
    std::size_t got = 0;
    ASSERT_TRUE(platform::readBytes(file, buffer, sizeof buffer, got));
    EXPECT_EQ(std::string(buffer, got), "long");
    platform::closeFile(file);
    EXPECT_FALSE(platform::openForReading(folder.c_str(), file));
    std::string found;
    ASSERT_TRUE(platform::findFileIgnoringCase(folder + "/", std::string(120, 'F'), found));
    EXPECT_EQ(found, std::string(120, 'f'));
}

TEST(PlatformSwitches, BothRules) {
    using platform::isSwitch;
    using platform::SwitchRule;
    for (const char* argument : {"-w", "-W", "-", "-wx", "-q"}) {
        EXPECT_TRUE(isSwitch(argument, SwitchRule::Posix)) << argument;
        EXPECT_TRUE(isSwitch(argument, SwitchRule::Windows)) << argument;
    }
    EXPECT_TRUE(isSwitch("/w", SwitchRule::Posix));
    for (const char* argument : {"/q", "/W", "/", "/wx", "/tmp/out.mp2"}) {
        EXPECT_FALSE(isSwitch(argument, SwitchRule::Posix)) << argument;
        EXPECT_TRUE(isSwitch(argument, SwitchRule::Windows)) << argument;
    }
    for (const char* argument : {"", "w", "out.mp2", "C:\\out\\", "@args", " -w"}) {
        EXPECT_FALSE(isSwitch(argument, SwitchRule::Posix)) << argument;
        EXPECT_FALSE(isSwitch(argument, SwitchRule::Windows)) << argument;
    }
    // Which rule the running system takes shows in what the programs make of "/q": the
    // command-line tests of Symvex and Tessan check that on each system.

    // "/?" asks for the help only where a slash begins every switch; the words are exact.
    using platform::InfoRequest;
    EXPECT_EQ(platform::infoRequest("/?", SwitchRule::Windows), InfoRequest::Help);
    EXPECT_EQ(platform::infoRequest("/?", SwitchRule::Posix), InfoRequest::None);
    for (const char* argument : {"-H", "--Help", "-help", "--version ", "-v", "/h", "-?"})
        EXPECT_EQ(platform::infoRequest(argument, SwitchRule::Windows), InfoRequest::None)
            << argument;
}

TEST(PlatformMapping, ViewHoldsAllBytesAndEmptyFileGivesEmptyView) {
    TempDir dir;
    testsupport::writeFile(dir.file("data"), std::string("MZ\0\1\2", 5));
    testsupport::writeFile(dir.file("empty"), "");

    platform::File file;
    ASSERT_TRUE(platform::openForReading(dir.file("data").c_str(), file));
    std::uint64_t size = 0;
    ASSERT_TRUE(platform::fileSize(file, size));
    platform::MappedView view;
    ASSERT_TRUE(platform::mapReadOnly(file, size, view));
    ASSERT_EQ(view.size, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), view.size),
              std::string("MZ\0\1\2", 5));
    platform::unmapView(view);
    EXPECT_EQ(view.data, nullptr);
    platform::unmapView(view); // a second release does nothing
    platform::closeFile(file);

    ASSERT_TRUE(platform::openForReading(dir.file("empty").c_str(), file));
    ASSERT_TRUE(platform::fileSize(file, size));
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(platform::mapReadOnly(file, size, view));
    EXPECT_EQ(view.size, 0u);
    EXPECT_EQ(view.data, nullptr);
    platform::unmapView(view);
    platform::closeFile(file);
}

#ifndef _WIN32
// A File and a MappedView own what they hold: a move hands it on, and it is released when its
// last owner goes out of scope. Seen in what Linux lists of the process: its descriptors and
// the files it has mapped.
TEST(PlatformOwnership, FileAndViewMoveAndAreReleasedAtTheEndOfTheirScope) {
    if (!testsupport::fileExists("/proc/self/maps"))
        GTEST_SKIP() << "no /proc";
    TempDir dir;
    const std::string path = dir.file("owned.bin");
    testsupport::writeFile(path, "MZ\1\2\3");
    const auto descriptors = [] {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator("/proc/self/fd"))
            ++count;
        return count;
    };
    const auto mapped = [&] {
        return testsupport::readFile("/proc/self/maps").find(path) != std::string::npos;
    };
    const std::size_t before = descriptors();
    {
        platform::File owner;
        platform::MappedView view;
        {
            platform::File file;
            ASSERT_TRUE(platform::openForReading(path.c_str(), file));
            owner = std::move(file);
            EXPECT_FALSE(platform::isOpen(file));
            platform::MappedView inner;
            ASSERT_TRUE(platform::mapReadOnly(owner, 5, inner));
            view = std::move(inner);
            EXPECT_EQ(inner.data, nullptr);
        }
        EXPECT_EQ(descriptors(), before + 1);
        ASSERT_TRUE(mapped());
        EXPECT_EQ(view.data[4], '\3');
        const platform::File last(std::move(owner));
        EXPECT_TRUE(platform::isOpen(last));
    }
    EXPECT_EQ(descriptors(), before);
    EXPECT_FALSE(mapped());
}
#endif

TEST(PlatformLookup, FindsNameIgnoringCaseLowestFirstAndSkipsDirectories) {
    TempDir dir;
    testsupport::writeFile(dir.file("Plc_main.bin"), "a");
    std::filesystem::create_directory(dir.file("plc_far0.bin"));

    std::string found;
#ifdef _WIN32
    // The file system itself ignores case: one name, as stored.
    ASSERT_TRUE(platform::findFileIgnoringCase(dir.path(), "PLC_MAIN.BIN", found));
    EXPECT_EQ(found, "Plc_main.bin");
    EXPECT_FALSE(platform::findFileIgnoringCase(dir.path(), "PLC_*.BIN", found));
#else
    testsupport::writeFile(dir.file("PLC_MAIN.bin"), "b");
    ASSERT_TRUE(platform::findFileIgnoringCase(dir.path(), "PLC_MAIN.BIN", found));
    EXPECT_EQ(found, "PLC_MAIN.bin"); // "PLC_..." sorts before "Plc_..." byte by byte
#endif
    EXPECT_FALSE(platform::findFileIgnoringCase(dir.path(), "PLC_FAR0.BIN", found));
    EXPECT_FALSE(platform::findFileIgnoringCase(dir.path(), "PLC_MAIN.BI", found));
    EXPECT_FALSE(platform::findFileIgnoringCase(dir.file("none"), "x", found));

    EXPECT_TRUE(platform::existsAsFile(dir.file("Plc_main.bin").c_str()));
    EXPECT_FALSE(platform::existsAsFile(dir.file("plc_far0.bin").c_str()));
    EXPECT_FALSE(platform::existsAsFile(dir.file("none").c_str()));
    EXPECT_TRUE(platform::existsAsDirectory(dir.file("plc_far0.bin").c_str()));
    EXPECT_FALSE(platform::existsAsDirectory(dir.file("Plc_main.bin").c_str()));
    EXPECT_FALSE(platform::existsAsDirectory(dir.file("none").c_str()));
}

TEST(PlatformIdentity, LinksLeadToTheSameFileOthersDoNot) {
    TempDir dir;
    testsupport::writeFile(dir.file("a"), "same bytes");
    testsupport::writeFile(dir.file("b"), "same bytes");
    std::filesystem::create_hard_link(dir.file("a"), dir.file("hard"));
    // (A hard link where the system makes no symbolic ones.)
    if (!testsupport::makeSymbolicLink(dir.file("a"), dir.file("soft")))
        std::filesystem::create_hard_link(dir.file("a"), dir.file("soft"));

    platform::FileIdentity a, b, hard, soft, open;
    ASSERT_TRUE(platform::identifyFile(dir.file("a").c_str(), a));
    ASSERT_TRUE(platform::identifyFile(dir.file("b").c_str(), b));
    ASSERT_TRUE(platform::identifyFile(dir.file("hard").c_str(), hard));
    ASSERT_TRUE(platform::identifyFile((dir.path() + "/./soft").c_str(), soft));
    EXPECT_TRUE(platform::sameFile(a, hard));
    EXPECT_TRUE(platform::sameFile(a, soft));
    EXPECT_FALSE(platform::sameFile(a, b));

    platform::File file;
    ASSERT_TRUE(platform::openForReading(dir.file("hard").c_str(), file));
    ASSERT_TRUE(platform::identifyOpenFile(file, open));
    EXPECT_TRUE(platform::sameFile(a, open));
    platform::closeFile(file);
    EXPECT_FALSE(platform::identifyOpenFile(file, open));
    EXPECT_FALSE(platform::identifyFile(dir.file("missing").c_str(), open));

    std::uint64_t size = 1;
    EXPECT_TRUE(platform::regularFileSize(dir.file("soft").c_str(), size));
    EXPECT_EQ(size, 10u);
    EXPECT_FALSE(platform::regularFileSize(dir.path().c_str(), size));
    EXPECT_FALSE(platform::regularFileSize(testsupport::NullDevice, size));
    EXPECT_FALSE(platform::regularFileSize(dir.file("missing").c_str(), size));
}

TEST(PlatformLookup, EmptyDirectoryMeansCurrentDirectory) {
    TempDir dir;
    testsupport::writeFile(dir.file("Endp.Dat"), "x");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::string found;
    const bool ok = platform::findFileIgnoringCase("", "ENDP.DAT", found);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(ok);
    EXPECT_EQ(found, "Endp.Dat");
}

} // namespace
