// Outputs are whole or absent: a run that fails or is interrupted leaves every output's name as
// it was, a link in an output's place stays a link, a replaced file keeps its mode, and a
// device is written in place.
#include "plc_generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string ExamplesDir = EXAMPLES_DIR;

// The example's listing and map, an earlier symbol map, the generated program with an earlier
// set of images and an earlier joined file.
struct Project {
    TempDir dir;
    Project() {
        writeFile(dir.file("plc.lst"), readFile(ExamplesDir + "/plc.lst"));
        writeFile(dir.file("KORVEX.map"), readFile(ExamplesDir + "/KORVEX.map"));
        writeFile(dir.file("plc.mp2"), "$MP2 02\r\nan earlier map\r\n");
        std::string error;
        EXPECT_TRUE(plcgen::writeProgram(plcgen::standardProgram(), dir.file("gen.exe"),
                                         dir.file("gen.map"), dir.file("gen.knf"), error))
            << error;
        fs::create_directory(dir.file("images"));
        for (const char* name :
             {"main", "far0", "e003", "e004", "e005", "e006", "e007", "e008", "e009", "e010",
              "e011", "e012", "e013", "e014", "e015", "e016", "e017"})
            writeFile(dir.file(std::string("images/Plc_") + name + ".bin"),
                      std::string("earlier ") + name);
        writeFile(dir.file("images/JOINED.PLC"), "an earlier join");
        writeFile(dir.file("end.dat"), "end");
    }
    RunResult run(const char* program, const std::vector<std::string>& args) const {
        return runProgram(program, args, dir.path());
    }
};

const std::vector<std::string> SymvexArgs = {"plc.mp2", "plc.lst", "KORVEX.map"};
const std::vector<std::string> TessanArgs = {"images/", "gen.exe", "gen.map", "gen.knf"};
const std::vector<std::string> OrlundArgs = {"images/", "JOINED.PLC", "end.dat"};

#ifndef _WIN32
// A file-size limit of the shell (512-byte blocks) that the new outputs exceed: the earlier
// outputs stay byte for byte, and nothing else is left in the folder.
RunResult runLimited(const Project& project, const char* program,
                     const std::vector<std::string>& args, int blocks) {
    std::string command = "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; exec " + program;
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    return runProgram("/bin/sh", {"-c", command}, project.dir.path());
}

TEST(WholeOutputs, FileSizeLimitKeepsEarlierOutputs) {
    Project project;
    const auto before = folderFiles(project.dir.path());
    const RunResult symvex = runLimited(project, SYMVEX_FAULTS, SymvexArgs, 1);
    EXPECT_EQ(symvex.exitStatus, FailureStatus);
    EXPECT_NE(symvex.output.find(" critical error SV0011: File write error. : plc.mp2\n"),
              std::string::npos)
        << symvex.output;
    // The first images (a few hundred bytes each) fit, a later one does not.
    const RunResult tessan = runLimited(project, TESSAN_FAULTS, TessanArgs, 1);
    EXPECT_EQ(tessan.exitStatus, FailureStatus);
    EXPECT_NE(tessan.output.find("\nError: 18, Pointer write error: images/Plc_far0.bin\n"),
              std::string::npos)
        << tessan.output;
    EXPECT_EQ(folderFiles(project.dir.path()), before);
}
#endif

// SIGTERM (Ctrl+C on Windows) while the outputs are written removes their temporaries; once the
// images are being renamed the run ends as the renames end it: the set in place, the summary
// and 0; or, a rename refused, the set put back, error 17 and 255.
TEST(WholeOutputs, InterruptedRunLeavesNoTemporary) {
    Project project;
    const auto before = folderFiles(project.dir.path());
    setEnvironment("PLC_FAULT_ACTION", "interrupt");
    struct Case {
        const char* program;
        const std::vector<std::string>& args;
        const char* fault;
    };
    for (const Case& c :
         {Case{SYMVEX_FAULTS, SymvexArgs, "write:1"}, Case{TESSAN_FAULTS, TessanArgs, "write:20"},
          Case{ORLUND_FAULTS, OrlundArgs, "write:3"}}) {
        setEnvironment("PLC_FAULT", c.fault);
        const RunResult run = project.run(c.program, c.args);
        EXPECT_NE(run.exitStatus, 0) << c.program;
        EXPECT_EQ(folderFiles(project.dir.path()), before) << c.program;
    }
    setEnvironment("PLC_FAULT", "rename:5,rename:9:fail");
    const RunResult refused = project.run(TESSAN_FAULTS, TessanArgs);
    EXPECT_EQ(refused.exitStatus, FailureStatus);
    EXPECT_NE(refused.output.find("\nError: 17, File write error: images/Plc_e009.bin\n"),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(folderFiles(project.dir.path()), before);
    setEnvironment("PLC_FAULT", "rename:9");
    const RunResult run = project.run(TESSAN_FAULTS, TessanArgs);
    setEnvironment("PLC_FAULT", "");
    setEnvironment("PLC_FAULT_ACTION", "");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output.substr(run.output.size() - 15), "      0 errors\n");
    const auto interrupted = folderFiles(project.dir.path());
    ASSERT_EQ(project.run(TESSAN_FAULTS, TessanArgs).exitStatus, 0);
    EXPECT_EQ(interrupted, folderFiles(project.dir.path()));
}

// A rename of the set refused, and then putting back an image renamed before it refused too:
// that image's name holds the new one, and the message names where its earlier contents are;
// every other image is the earlier one. The same where the earlier images are kept as hard
// links and where they are copied (FAT).
TEST(WholeOutputs, EarlierImageNotPutBackIsNamed) {
    for (const char* system : {"", "links", "fat"}) {
        SCOPED_TRACE(std::string("file system ") + system);
        Project project;
        const auto before = folderFiles(project.dir.file("images"));
        setEnvironment("PLC_FAULT_FILE_SYSTEM", system);
        setEnvironment("PLC_FAULT", "rename:5,rename:6");
        const RunResult run = project.run(TESSAN_FAULTS, TessanArgs);
        setEnvironment("PLC_FAULT", "");
        setEnvironment("PLC_FAULT_FILE_SYSTEM", "");
        EXPECT_EQ(run.exitStatus, FailureStatus);
        const std::string head = "\nError: 17, File write error: images/Plc_e005.bin\n"
                                 "\nEarlier file not put back: images/Plc_e004.bin holds the new "
                                 "one, the earlier one is images/.Plc_e004.bin.";
        ASSERT_NE(run.output.find(head), std::string::npos) << run.output;
        const std::size_t name = run.output.find("images/.Plc_e004.bin.") + 7;
        const std::string kept = run.output.substr(name, run.output.find('\n', name) - name);
        auto after = folderFiles(project.dir.file("images"));
        EXPECT_EQ(after[kept], "earlier e004");
        EXPECT_NE(after["Plc_e004.bin"], "earlier e004");
        after.erase(kept);
        after["Plc_e004.bin"] = "earlier e004";
        EXPECT_EQ(after, before);
    }
}

// A symbolic link as the symbol map and as the joined file stays a link, to the new contents.
TEST(WholeOutputs, SymbolicLinkInAnOutputsPlaceStaysALink) {
    Project project;
    fs::create_directory(project.dir.file("kept"));
    writeFile(project.dir.file("kept/map.mp2"), "$MP2 02\r\n");
    writeFile(project.dir.file("kept/joined.plc"), "old");
    if (!makeSymbolicLink("kept/map.mp2", project.dir.file("link.mp2")) ||
        !makeSymbolicLink("../kept/joined.plc", project.dir.file("images/link.plc")))
        GTEST_SKIP() << "no symbolic links on this system";
    ASSERT_EQ(project.run(SYMVEX_FAULTS, {"link.mp2", "plc.lst", "KORVEX.map"}).exitStatus, 0);
    ASSERT_EQ(project.run(ORLUND_FAULTS, {"images/", "link.plc", "end.dat"}).exitStatus, 0);
    ASSERT_EQ(project.run(ORLUND_FAULTS, OrlundArgs).exitStatus, 0);
    EXPECT_TRUE(fs::is_symlink(project.dir.file("link.mp2")));
    EXPECT_TRUE(fs::is_symlink(project.dir.file("images/link.plc")));
    EXPECT_EQ(readFile(project.dir.file("kept/map.mp2")), readFile(ExamplesDir + "/plc.mp2"));
    EXPECT_EQ(readFile(project.dir.file("kept/joined.plc")),
              readFile(project.dir.file("images/JOINED.PLC")));
    EXPECT_EQ(folderFiles(project.dir.file("kept")).size(), 2u); // no temporary beside them
}

#ifndef _WIN32
// A replaced file keeps its permission bits, without set-user-ID; a new one gets the usual
// mode. A read-only map is replaced only for a user who may write it anyway (root), and keeps
// its mode too; any other user is refused it (see the test below), so for such a user the map
// is one its owner may write.
TEST(WholeOutputs, ReplacedFileKeepsItsMode) {
    Project project;
    const fs::perms mapMode =
        geteuid() == 0 ? fs::perms::owner_read | fs::perms::group_read
                       : fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(project.dir.file("plc.mp2"), mapMode);
    fs::permissions(project.dir.file("images/JOINED.PLC"),
                    fs::perms::set_uid | fs::perms::owner_all | fs::perms::group_exec);
    ASSERT_EQ(project.run(SYMVEX_FAULTS, SymvexArgs).exitStatus, 0);
    ASSERT_EQ(project.run(ORLUND_FAULTS, OrlundArgs).exitStatus, 0);
    ASSERT_EQ(project.run(ORLUND_FAULTS, {"images/", "NEW.PLC", "end.dat"}).exitStatus, 0);
    EXPECT_EQ(fs::status(project.dir.file("plc.mp2")).permissions(), mapMode);
    EXPECT_EQ(fs::status(project.dir.file("images/JOINED.PLC")).permissions(),
              fs::perms::owner_all | fs::perms::group_exec);
    EXPECT_EQ(fs::status(project.dir.file("images/NEW.PLC")).permissions(),
              fs::status(project.dir.file("end.dat")).permissions());
    EXPECT_EQ(readFile(project.dir.file("plc.mp2")), readFile(ExamplesDir + "/plc.mp2"));
}
#endif

// The null device is written in place, as every device: no temporary beside it, and it stays
// the device it was.
TEST(WholeOutputs, NullDeviceAsOutput) {
    Project project;
    const auto before = folderFiles(project.dir.path());
    const RunResult run = project.run(SYMVEX_FAULTS, {NullDevice, "plc.lst", "KORVEX.map"});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(folderFiles(project.dir.path()), before);
#ifndef _WIN32
    EXPECT_TRUE(fs::is_character_file(NullDevice));
#endif
}

#ifndef _WIN32
// An earlier output that is read-only to the user running the program is refused, even where
// the folder would let the user replace it, and replaced for a user who may write it (root).
// The unprivileged run needs root to start it.
TEST(WholeOutputs, ReadOnlyEarlierOutputIsRefusedForAUserWhoCannotWriteIt) {
    if (geteuid() != 0 || !fs::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "needs root and setpriv to run a program as another user";
    Project project;
    // The unprivileged user reaches the project folder and may create files in it.
    fs::permissions(project.dir.path(), fs::perms::all);
    const auto before = folderFiles(project.dir.path());
    fs::permissions(project.dir.file("plc.mp2"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::vector<std::string> args = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                     SYMVEX_FAULTS};
    args.insert(args.end(), SymvexArgs.begin(), SymvexArgs.end());
    const RunResult refused = project.run("/usr/bin/setpriv", args);
    EXPECT_EQ(refused.exitStatus, FailureStatus) << refused.output;
    EXPECT_NE(refused.output.find(" critical error SV0001: "), std::string::npos) << refused.output;
    EXPECT_EQ(folderFiles(project.dir.path()), before);
    ASSERT_EQ(project.run(SYMVEX_FAULTS, SymvexArgs).exitStatus, 0);
    EXPECT_EQ(readFile(project.dir.file("plc.mp2")), readFile(ExamplesDir + "/plc.mp2"));
}
#endif

} // namespace
