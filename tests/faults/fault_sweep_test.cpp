// The I/O fault sweep: each program's whole run, on the example and on generated projects,
// repeated with the N-th call of one file operation failing, for every operation and every N
// until a run no longer reaches its N-th call. The programs run are test-only copies whose
// file services have live failure points (platform/fault_points.h).
//
// A faulty run must end with status 255 and an error message and leave every file of its
// folder exactly as it was, no temporary left; or succeed with exactly the standard output and
// the files of the fault-free run. Over the images of an earlier build, every refused rename of
// the set is also paired with every later rename (putting an image back) or removal of the run:
// such a run must end with 255 and a message, and every earlier image must be in the folder,
// under its name or under the kept name that the message gives. The splitter's sweeps run on
// each kind of file system the commit meets: one that exchanges two names in one step (Linux),
// one that makes hard links but no exchange, and one with neither (FAT), whose refusals the
// failure points play.
//
// The kill sweep ends the process at once, without any cleanup, at the N-th call of an
// operation instead: every output's name must then hold what it held before the run or the
// whole new file, and only temporaries may be left besides; the seventeen images must be all
// old or all new, except when the kill falls between two renames of the set.
#include "plc_generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::RunResult;
using testsupport::setEnvironment;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string ExamplesDir = EXAMPLES_DIR;
const char* const Operations[] = {"open", "read", "create", "write", "close", "map", "rename"};
const char* const KillOperations[] = {"create", "write", "close", "rename"};

// Every folder and file below a project folder, by relative path.
struct Tree {
    std::set<std::string> folders;
    std::map<std::string, std::string> files;
    bool operator==(const Tree&) const = default;
};

Tree snapshot(const std::string& root) {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory())
            tree.folders.insert(name);
        else
            tree.files[name] = readFile(entry.path().string());
    }
    return tree;
}

// Puts back what differs from `tree`: removes what is not in it, writes what is missing or
// changed.
void restore(const std::string& root, const Tree& tree) {
    const Tree current = snapshot(root);
    for (const auto& entry : current.files)
        if (tree.files.count(entry.first) == 0)
            fs::remove(root + "/" + entry.first);
    for (const std::string& folder : tree.folders)
        fs::create_directories(root + "/" + folder);
    for (const auto& [name, bytes] : tree.files) {
        const auto now = current.files.find(name);
        if (now == current.files.end() || now->second != bytes)
            writeFile(root + "/" + name, bytes);
    }
}

// The paths whose presence or bytes differ between two trees.
std::string differences(const Tree& expected, const Tree& actual) {
    std::string text;
    for (const auto& [name, bytes] : expected.files) {
        const auto found = actual.files.find(name);
        if (found == actual.files.end())
            text += " missing " + name;
        else if (found->second != bytes)
            text += " changed " + name;
    }
    for (const auto& entry : actual.files)
        if (expected.files.count(entry.first) == 0)
            text += " extra " + entry.first;
    return text;
}

struct Scenario {
    std::string program;
    std::vector<std::string> args;       // run in the project folder
    std::string errorMark;               // every failure message of the program holds it
    std::vector<std::string> operations; // each must be reached at least once
};

// A temporary of the outputs: "." + an output's name + a unique part + ".tmp".
bool isTemporary(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    return name.size() > 5 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// What a run's messages say of earlier files not put back: the output's path and the kept name
// of its earlier contents, both relative to the project folder.
std::map<std::string, std::string> keptNames(const std::string& output) {
    static const std::string Head = "\nEarlier file not put back: ";
    static const std::string Middle = " holds the new one, the earlier one is ";
    std::map<std::string, std::string> kept;
    for (std::size_t at = output.find(Head); at != std::string::npos;
         at = output.find(Head, at + 1)) {
        const std::size_t middle = output.find(Middle, at);
        const std::size_t end = output.find('\n', middle + 1);
        if (middle == std::string::npos || end == std::string::npos)
            break;
        const std::size_t name = at + Head.size();
        kept[output.substr(name, middle - name)] =
            output.substr(middle + Middle.size(), end - middle - Middle.size());
    }
    return kept;
}

// Every earlier file is under its name or under the kept name the message gives; nothing else
// is left but those and, when a removal failed, temporaries.
void expectNothingLost(const Tree& initial, const Tree& after, const std::string& output,
                       bool removalFailed) {
    const std::map<std::string, std::string> kept = keptNames(output);
    std::set<std::string> keptFiles;
    for (const auto& [name, bytes] : initial.files) {
        const auto at = after.files.find(name);
        if (at != after.files.end() && at->second == bytes)
            continue;
        const auto named = kept.find(name);
        const bool keptWhole = named != kept.end() && after.files.count(named->second) > 0 &&
                               after.files.at(named->second) == bytes;
        EXPECT_TRUE(keptWhole) << "earlier file lost: " << name << "\n" << output;
        if (keptWhole)
            keptFiles.insert(named->second);
    }
    for (const auto& [name, bytes] : after.files)
        EXPECT_TRUE(initial.files.count(name) > 0 || keptFiles.count(name) > 0 ||
                    (removalFailed && isTemporary(name)))
            << "extra " << name;
}

// Runs the sweep on the project in `project` and prints how often each operation was called.
void sweep(const Scenario& scenario, const std::string& project) {
    std::map<std::string, int> calls;
    const Tree initial = snapshot(project);
    TempDir markDir;
    const std::string mark = markDir.file("reached");
    setEnvironment("PLC_FAULT", "");
    const RunResult clean = runProgram(scenario.program, scenario.args, project);
    EXPECT_EQ(clean.exitStatus, 0) << clean.output;
    const Tree expected = snapshot(project);
    setEnvironment("PLC_FAULT_MARK", mark);

    for (const char* op : Operations) {
        for (int n = 1; n < 10000 && !::testing::Test::HasFailure(); ++n) {
            SCOPED_TRACE(std::string("failing call ") + std::to_string(n) + " of " + op);
            restore(project, initial);
            fs::remove(mark);
            setEnvironment("PLC_FAULT", std::string(op) + ":" + std::to_string(n));
            const RunResult run = runProgram(scenario.program, scenario.args, project);
            const Tree after = snapshot(project);
            if (!fs::exists(mark)) {
                // No N-th call: the fault-free run once more.
                EXPECT_EQ(run.exitStatus, 0) << run.output;
                EXPECT_TRUE(after == expected) << differences(expected, after);
                calls[op] = n - 1;
                break;
            }
            if (run.exitStatus == 0) {
                EXPECT_EQ(run.output, clean.output);
                EXPECT_TRUE(after == expected)
                    << "success with other files:" << differences(expected, after);
                continue;
            }
            EXPECT_EQ(run.exitStatus, testsupport::FailureStatus) << run.output;
            EXPECT_NE(run.output.find(scenario.errorMark), std::string::npos) << run.output;
            EXPECT_TRUE(after == initial) << "failed run changed:" << differences(initial, after);
        }
    }
    setEnvironment("PLC_FAULT", "");
    setEnvironment("PLC_FAULT_MARK", "");
    restore(project, expected);

    std::string summary;
    for (const auto& [op, count] : calls)
        summary += " " + op + " " + std::to_string(count);
    std::cout << "calls of each operation:" << summary << "\n";
    if (::testing::Test::HasFailure())
        return;
    for (const std::string& op : scenario.operations)
        EXPECT_GT(calls[op], 0) << op << " was never reached: the failure points are not live";
}

// Fails every rename of the run together with every later rename and, with `removals`, every
// later removal; returns how many runs left an earlier file under a kept name.
int pairSweep(const Scenario& scenario, const std::string& project, bool removals) {
    const Tree initial = snapshot(project);
    TempDir markDir;
    const std::string mark = markDir.file("reached");
    setEnvironment("PLC_FAULT", "");
    EXPECT_EQ(runProgram(scenario.program, scenario.args, project).exitStatus, 0);
    setEnvironment("PLC_FAULT_MARK", mark);
    int runs = 0, keptAside = 0;
    for (int first = 1; first < 100 && !::testing::Test::HasFailure(); ++first) {
        int reached = 0;
        for (const char* second : {"rename", removals ? "remove" : ""}) {
            if (second[0] == '\0')
                continue;
            for (int n = std::string(second) == "rename" ? first + 1 : 1;
                 n < 10000 && !::testing::Test::HasFailure(); ++n) {
                const std::string plan =
                    "rename:" + std::to_string(first) + "," + second + ":" + std::to_string(n);
                SCOPED_TRACE("failing calls " + plan);
                restore(project, initial);
                fs::remove(mark);
                setEnvironment("PLC_FAULT", plan);
                const RunResult run = runProgram(scenario.program, scenario.args, project);
                if (!fs::exists(mark))
                    break;
                ++reached;
                ++runs;
                EXPECT_EQ(run.exitStatus, testsupport::FailureStatus) << run.output;
                EXPECT_NE(run.output.find(scenario.errorMark), std::string::npos) << run.output;
                expectNothingLost(initial, snapshot(project), run.output,
                                  std::string(second) == "remove");
                keptAside += keptNames(run.output).empty() ? 0 : 1;
            }
        }
        // No rename of that number, so none later either (the first has none to put back).
        if (reached == 0 && first > 1)
            break;
    }
    setEnvironment("PLC_FAULT", "");
    setEnvironment("PLC_FAULT_MARK", "");
    restore(project, initial);
    std::cout << "runs with two failing calls: " << runs << ", earlier files kept aside in "
              << keptAside << "\n";
    EXPECT_GT(runs, 0);
    return keptAside;
}

// Runs the kill sweep on the project in `project`; returns how many kills left the seventeen
// images of `imageFolder` ("" for none) a mixture of old and new ones, which only a kill at an
// operation of `mixing` may.
int killSweep(const Scenario& scenario, const std::string& project,
              const std::string& imageFolder = "",
              const std::set<std::string>& mixing = {"rename"}) {
    const Tree initial = snapshot(project);
    TempDir markDir;
    const std::string mark = markDir.file("reached");
    setEnvironment("PLC_FAULT", "");
    EXPECT_EQ(runProgram(scenario.program, scenario.args, project).exitStatus, 0);
    const Tree expected = snapshot(project);
    setEnvironment("PLC_FAULT_MARK", mark);
    setEnvironment("PLC_FAULT_ACTION", "kill");
    int mixed = 0;
    for (const char* op : KillOperations) {
        for (int n = 1; n < 10000 && !::testing::Test::HasFailure(); ++n) {
            SCOPED_TRACE(std::string("killed at call ") + std::to_string(n) + " of " + op);
            restore(project, initial);
            fs::remove(mark);
            setEnvironment("PLC_FAULT", std::string(op) + ":" + std::to_string(n));
            runProgram(scenario.program, scenario.args, project);
            if (!fs::exists(mark))
                break;
            const Tree after = snapshot(project);
            int oldImages = 0, newImages = 0;
            for (const auto& [name, bytes] : after.files) {
                const auto before = initial.files.find(name);
                const auto done = expected.files.find(name);
                const bool old = before != initial.files.end() && before->second == bytes;
                const bool whole = done != expected.files.end() && done->second == bytes;
                EXPECT_TRUE(old || whole || isTemporary(name)) << "partial file: " << name;
                if (!imageFolder.empty() && name.rfind(imageFolder + "/Plc_", 0) == 0) {
                    oldImages += old ? 1 : 0;
                    newImages += whole ? 1 : 0;
                }
            }
            for (const auto& [name, bytes] : initial.files)
                EXPECT_TRUE(after.files.count(name) > 0 || expected.files.count(name) == 0)
                    << "lost: " << name;
            if (oldImages > 0 && newImages > 0) {
                EXPECT_TRUE(mixing.count(op) > 0) << "a mixed set of images";
                ++mixed;
            }
        }
    }
    setEnvironment("PLC_FAULT", "");
    setEnvironment("PLC_FAULT_ACTION", "");
    setEnvironment("PLC_FAULT_MARK", "");
    restore(project, expected);
    return mixed;
}

// Only the splitter maps a file.
const std::vector<std::string> FileOperations = {"open",  "read",  "create",
                                                 "write", "close", "rename"};
const std::vector<std::string> AllOperations = {"open",  "read", "create", "write",
                                                "close", "map",  "rename"};

void copyExample(const std::string& name, const std::string& project) {
    writeFile(project + "/" + name, readFile(ExamplesDir + "/" + name));
}

// A prefix followed by a number, built by appending: g++ 12 takes the insert at the front of
// "S" + std::to_string(i) for an overlapping copy (a false -Wrestrict in Release builds).
std::string numbered(const char* prefix, int number) {
    std::string name = prefix;
    name += std::to_string(number);
    return name;
}

// A listing in the assembler's layout with structures, records and symbols of every kind,
// and the linker map that locates its public variables and gives its public constants.
void writeGeneratedListing(const std::string& project, int count) {
    auto lead = [](const std::string& name) {
        std::string text = name + " ";
        if (text.size() % 2 != 0)
            text += " ";
        while (text.size() < 32)
            text += ". ";
        return text.substr(0, 32);
    };
    char line[160];
    std::string listing = "Structures and Unions:\r\n\r\n";
    for (int i = 0; i < count / 10; ++i) {
        std::snprintf(line, sizeof line, "%s\t %04X\r\n", lead(numbered("S", i)).c_str(), 4 + i);
        listing += line;
        std::snprintf(line, sizeof line, "%s\t %04X\t     Word\r\n",
                      lead(numbered("  S", i) + "_M").c_str(), 2 + i);
        listing += line;
    }
    listing += "\r\nRecords:\r\n\r\n";
    for (int i = 0; i < count / 10; ++i) {
        std::snprintf(line, sizeof line, "%s\t %04X\t 0002\r\n", lead(numbered("R", i)).c_str(),
                      8 + 4 * i);
        listing += line;
        for (int bit = 0; bit < 2; ++bit) {
            std::snprintf(line, sizeof line, "%s\t %04X\t 0001\t %04X\t 0000\r\n",
                          lead(numbered("  ?R", i) + numbered("_B", bit)).c_str(), bit, 1 << bit);
            listing += line;
        }
    }
    listing += "\r\nSymbols:\r\n\r\n";
    std::string map = "\r\n  Address         Publics by Name\r\n\r\n";
    const char* const segments[] = {"DATA_COM", "DATA1", "DATA_USR", "DATAROZ"};
    for (int i = 0; i < count; ++i) {
        const std::string name = numbered("V", 1000 + i);
        const bool isPublic = i % 3 == 0;
        if (i % 7 == 6) {
            std::snprintf(line, sizeof line, "%s\tNumber\t %04Xh%s\r\n", lead(name).c_str(),
                          isPublic ? 0 : i, isPublic ? "\tPublic" : "");
            listing += line;
            if (isPublic) {
                std::snprintf(line, sizeof line, " 0000:%04X  Abs  %s\r\n", 0x100 + i,
                              name.c_str());
                map += line;
            }
            continue;
        }
        const std::string kinds[] = {"Byte",
                                     "Word",
                                     "DWord",
                                     "QWord",
                                     numbered("R", i / 7 % (count / 10)),
                                     numbered("S", i / 7 % (count / 10))};
        std::snprintf(line, sizeof line, "%s\t%s\t %04X\t  %s%s\r\n", lead(name).c_str(),
                      kinds[i % 7].c_str(), isPublic ? 0 : 2 * i, segments[i % 4],
                      isPublic ? "\tPublic" : "");
        listing += line;
        if (isPublic) {
            std::snprintf(line, sizeof line, " 0230:%04X       %s\r\n", 2 * i, name.c_str());
            map += line;
        }
    }
    writeFile(project + "/gen.lst", listing);
    writeFile(project + "/gen.map", map);
}

// The inputs of a splitter run: the example's, or a generated program of another shape.
void writeExampleProgram(const std::string& project) {
    plcgen::ProgramLayout layout;
    std::string error;
    ASSERT_TRUE(plcgen::parseDescription(readFile(ExamplesDir + "/KORVEX.plcgen"), layout, error))
        << error;
    ASSERT_TRUE(plcgen::writeProgram(layout, project + "/KORVEX.EXE", "", "", error)) << error;
    copyExample("KORVEX.map", project);
    copyExample("Make.knf", project);
    copyExample("PLC_ENDP.DAT", project);
    fs::create_directory(project + "/images");
}

void writeGeneratedProgram(const std::string& project) {
    plcgen::ProgramLayout layout = plcgen::standardProgram();
    layout.headerParagraphs = 2;
    plcgen::findPublic(layout, "??SEC_PROC_FAR_END")->offset = 0x1234;
    plcgen::findSegment(layout, "CODE_UNIT09")->length = 0x24; // an image of its header alone
    layout.makeLines = {std::string(250, '#'), "# comment \"Generated\"\r"};
    std::string error;
    ASSERT_TRUE(plcgen::writeProgram(layout, project + "/KORVEX.EXE", project + "/KORVEX.map",
                                     project + "/Make.knf", error))
        << error;
    // An end file of exactly two copy buffers.
    writeFile(project + "/PLC_ENDP.DAT", std::string(1024, '\x5A'));
    writeFile(project + "/args.txt", "images/\r\nKORVEX.EXE\r\nKORVEX.map\r\nMake.knf\r\n");
    fs::create_directory(project + "/images");
}

// Seventeen images of an earlier build in images/, unlike the new ones in every byte.
void writePreviousImages(const std::string& project) {
    for (const char* name : {"main", "far0", "e003", "e004", "e005", "e006", "e007", "e008", "e009",
                             "e010", "e011", "e012", "e013", "e014", "e015", "e016", "e017"})
        writeFile(project + "/images/Plc_" + name + ".bin", std::string("previous ") + name);
}

} // namespace

TEST(FaultSweep, SymvexOnTheExample) {
    TempDir project;
    copyExample("plc.lst", project.path());
    copyExample("KORVEX.map", project.path());
    fs::create_directory(project.file("out"));
    sweep({SYMVEX_FAULTS, {"out/plc.mp2", "plc.lst", "KORVEX.map"}, " error SV", FileOperations},
          project.path());
    EXPECT_EQ(readFile(project.file("out/plc.mp2")), readFile(ExamplesDir + "/plc.mp2"));
}

TEST(FaultSweep, SymvexFromACommandFileOverAnEarlierSymbolMap) {
    TempDir project;
    // Large enough for several reads of the listing and several writes of the symbol map.
    writeGeneratedListing(project.path(), 7000);
    writeFile(project.file("args.txt"), "-w\r\nold.mp2\r\ngen.lst\r\ngen.map\r\n");
    writeFile(project.file("old.mp2"), "$MP2 02\r\n\r\n[SYMBOL_TABLE 0]\r\n");
    sweep({SYMVEX_FAULTS, {"@args.txt"}, " error SV", FileOperations}, project.path());
    EXPECT_NE(readFile(project.file("old.mp2")).find("[BIT_FIELDS 1400]"), std::string::npos);
}

TEST(FaultSweep, TessanOnTheExample) {
    TempDir project;
    writeExampleProgram(project.path());
    sweep({TESSAN_FAULTS,
           {"images/", "KORVEX.EXE", "KORVEX.map", "Make.knf"},
           "\nError: ",
           AllOperations},
          project.path());
}

// Over the images of an earlier build: a rename refused in the middle of the set puts back
// every image renamed before it; a put-back refused too leaves that image's earlier contents
// under the kept name the message gives. `system` is the kind of file system the commit meets,
// as PLC_FAULT_FILE_SYSTEM names it. A failed removal does the same on each, so the removals are
// paired on the first kind only, and not under Wine, where a run costs ten times as much.
void sweepOverEarlierImages(const char* system) {
    TempDir project;
    writeGeneratedProgram(project.path());
    writePreviousImages(project.path());
    const Scenario scenario{TESSAN_FAULTS, {"@args.txt"}, "\nError: ", AllOperations};
    setEnvironment("PLC_FAULT_FILE_SYSTEM", system);
    sweep(scenario, project.path());
    writePreviousImages(project.path());
#ifdef _WIN32
    const bool removals = false;
#else
    const bool removals = system[0] == '\0';
#endif
    EXPECT_GT(pairSweep(scenario, project.path(), removals), 0);
    setEnvironment("PLC_FAULT_FILE_SYSTEM", "");
}

TEST(FaultSweep, TessanFromACommandFileOverEarlierImages) {
    sweepOverEarlierImages("");
}

// Windows has no exchange of two names: there the sweep above is this one.
TEST(FaultSweep, TessanOverEarlierImagesWithHardLinksOnly) {
#ifdef _WIN32
    GTEST_SKIP() << "the same as the sweep with the system's own file system";
#else
    sweepOverEarlierImages("links");
#endif
}

TEST(FaultSweep, TessanOverEarlierImagesWithoutHardLinks) {
    sweepOverEarlierImages("fat");
}

// The joiner on the images that the splitter wrote, found ignoring letter case.
TEST(FaultSweep, OrlundOnTheExampleImages) {
    TempDir project;
    writeExampleProgram(project.path());
    const std::vector<std::string> split = {"images/", "KORVEX.EXE", "KORVEX.map", "Make.knf"};
    ASSERT_EQ(runProgram(TESSAN_FAULTS, split, project.path()).exitStatus, 0);
    sweep({ORLUND_FAULTS, {"images/", "KORVEX.PLC", "PLC_ENDP.DAT"}, "\nError: ", FileOperations},
          project.path());
}

TEST(FaultSweep, OrlundOverAnEarlierJoinOnAGeneratedProgram) {
    TempDir project;
    writeGeneratedProgram(project.path());
    ASSERT_EQ(runProgram(TESSAN_FAULTS, {"@args.txt"}, project.path()).exitStatus, 0);
    writeFile(project.file("images/JOINED.PLC"), std::string(3000, 'j'));
    sweep({ORLUND_FAULTS, {"images/", "JOINED.PLC", "PLC_ENDP.DAT"}, "\nError: ", FileOperations},
          project.path());
}

// Each program killed over earlier outputs; the splitter's previous images differ from the new
// ones in every byte that matters.
TEST(KillSweep, EveryOutputIsOldOrWholeAndOnlyTemporariesRemain) {
    TempDir project;
    writeGeneratedProgram(project.path());
    writeGeneratedListing(project.path(), 3000);
    writeFile(project.file("old.mp2"), "$MP2 02\r\n\r\n[SYMBOL_TABLE 0]\r\n");
    writePreviousImages(project.path());
    writeFile(project.file("images/JOINED.PLC"), std::string(3000, 'j'));
    killSweep({SYMVEX_FAULTS, {"old.mp2", "gen.lst", "gen.map"}, "", {}}, project.path());
    killSweep({ORLUND_FAULTS, {"images/", "JOINED.PLC", "PLC_ENDP.DAT"}, "", {}}, project.path());
    const int mixed = killSweep({TESSAN_FAULTS, {"@args.txt"}, "", {}}, project.path(), "images");
    // A kill before any rename of the set after the first (2 to 17) leaves new images before
    // old ones.
    std::cout << "kills that left a mixed set of images: " << mixed << "\n";
    EXPECT_EQ(mixed, 16);
}

// Without exchange and hard links (FAT) each earlier image is copied before the new one takes
// its name: a kill at any instant leaves every image's name holding its earlier file or the
// whole new one, never nothing.
TEST(KillSweep, ImagesOnAFileSystemWithoutHardLinks) {
    TempDir project;
    writeGeneratedProgram(project.path());
    writePreviousImages(project.path());
    setEnvironment("PLC_FAULT_FILE_SYSTEM", "fat");
    const int mixed = killSweep({TESSAN_FAULTS, {"@args.txt"}, "", {}}, project.path(), "images",
                                {"create", "write", "close", "rename"});
    setEnvironment("PLC_FAULT_FILE_SYSTEM", "");
    // Before each of the renames 2 to 17: its copy's creation, write and close, the close of
    // the image copied, and the rename itself.
    std::cout << "kills that left a mixed set of images: " << mixed << "\n";
    EXPECT_EQ(mixed, 16 * 5);
}
