// The built Plcinfo run end to end on the images and joined files that Tessan and Orlund make
// from the example and from generated projects: standard output and exit status.
#include "common/html_writer.h"
#include "common/markdown_writer.h"
#include "images/image_set.h"
#include "plc_generator.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using plcinfo::ImageNames;
using testsupport::readFile;
using testsupport::runProgram;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string Banner =
    "\nPLC-Bin inspector for Zelvar        Version " PLC_PACKAGE_VERSION "   PLC image inspector\n";
const std::string Usage =
    "\nSyntax: Plcinfo [FORM] (images folder or joined file)\n"
    "        Plcinfo [FORM] (old folder or joined file) (new folder or joined file)\n"
    "        Plcinfo [FORM] [--find NAME] [--at SEL:ADDR] [--max-fill BUDGET] [--images PATH] "
    "(symbol map)\n"
    "        Plcinfo [FORM] [--all] [--fail-on CLASSES] [--max-fill BUDGET] [--images OLD --images "
    "NEW] (old map) (new map)\n"
    "        Plcinfo --fingerprint (symbol map)\n"
    "        Plcinfo --expect RECORD (symbol map)\n"
    "        Plcinfo [FORM] [--max-fill BUDGET] --history (symbol maps or their folder)\n"
    "\nFORM .............. [--json | --markdown] [--html FILE]\n"
    "--json ............ the same facts as one JSON document, without the banner\n"
    "--markdown ........ a short summary in Markdown, for a CI job or a change, without the\n"
    "                    banner\n"
    "--html FILE ....... also write the report as one self-contained HTML page to FILE\n"
    "--images PATH ..... the build's images (folder or joined file) reported with its map;\n"
    "                    for two maps given twice, old then new\n"
    "--find NAME ....... every row of that name (letter case ignored, * and ? as wildcards)\n"
    "--at SEL:ADDR ..... the variables that begin there (hexadecimal)\n"
    "--all ............. each variable of a run of moved variables listed too\n"
    "--fail-on CLASSES . exit with 2 on a change of these classes (comma-separated: layout,\n"
    "                    added, removed, moved, retyped, room, offset, value, or one\n"
    "                    section's class such as variable-moved); layout is every change\n"
    "                    that misplaces retained data\n"
    "--max-fill BUDGET . exit with 2 when a data segment of the (new) map is filled beyond\n"
    "                    BUDGET percent of its 64 KiB: PERCENT for every segment, SEL=PERCENT\n"
    "                    (selector or name, as 0068=80 or DATA1=80) for one; may be repeated\n"
    "--fingerprint ..... only each data segment's retained layout fingerprint, one line a\n"
    "                    segment (selector, name, fingerprint), for a release record\n"
    "--expect RECORD ... the map's layout fingerprints against such a record: exit with 2\n"
    "                    and the segments that differ\n"
    "--history ......... the builds' maps that follow, oldest first (a folder: its .mp2\n"
    "                    files in the order of the numbers in their names): per build the\n"
    "                    variables, each segment's fill and fingerprint, and the changes\n"
    "                    against the build before; --max-fill checks the newest build\n"
    "-h, --help ........ this text\n"
    "--version ......... the version of the tool chain\n";

RunResult plcinfo(const std::vector<std::string>& args, const std::string& workDir = {}) {
    return runProgram(PLCINFO_PATH, args, workDir);
}

// A project in a temporary folder, split by Tessan into images/ and joined by Orlund into
// images/KORVEX.PLC.
struct Build {
    TempDir dir;
    std::string images() const { return dir.file("images"); }
    std::string joined() const { return dir.file("images/KORVEX.PLC"); }
    std::string image(int index) const { return images() + "/" + ImageNames[index]; }
};

void build(const plcgen::ProgramLayout& layout, const Build& out) {
    const std::string& dir = out.dir.path();
    testsupport::writeProject(layout, dir);
    writeFile(dir + "/PLC_ENDP.DAT", readFile(EXAMPLES_DIR "/PLC_ENDP.DAT"));
    std::filesystem::create_directory(out.images());
    const RunResult split = runProgram(TESSAN_PATH, {out.images() + "/", dir + "/KORVEX.EXE",
                                                     dir + "/KORVEX.map", dir + "/Make.knf"});
    ASSERT_EQ(split.exitStatus, 0) << split.output;
    const RunResult join =
        runProgram(ORLUND_PATH, {out.images() + "/", "KORVEX.PLC", dir + "/PLC_ENDP.DAT"});
    ASSERT_EQ(join.exitStatus, 0) << join.output;
}

plcgen::ProgramLayout exampleLayout() {
    plcgen::ProgramLayout layout;
    std::string error;
    EXPECT_TRUE(plcgen::parseDescription(readFile(EXAMPLES_DIR "/KORVEX.plcgen"), layout, error))
        << error;
    return layout;
}

// The standard program with a DUSR block of 0x11000 bytes, so that Plc_far0.bin is
// 0x1120C bytes long: more than its 16-bit fileLength can say.
plcgen::ProgramLayout longFarImageLayout() {
    plcgen::ProgramLayout layout = plcgen::standardProgram();
    plcgen::SegmentLayout* dusr = plcgen::findSegment(layout, "DUSR_CODE");
    dusr->start = 0x2700;
    dusr->length = 0x11100;
    plcgen::fillRamp(*dusr, 0xD1, 0x0D);
    plcgen::findPublic(layout, "??SEC_PROC_DUSR_LOAD")->segment = 0x0270;
    plcgen::findPublic(layout, "??SEC_PROC_DUSR_LOAD")->offset = 0;
    plcgen::findPublic(layout, "??SEC_PROC_DUSR_END")->segment = 0x1370;
    plcgen::findPublic(layout, "??SEC_PROC_DUSR_END")->offset = 0;
    return layout;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// The table's row of one image, "" when there is none.
std::string rowOf(const std::string& output, const char* name) {
    for (const std::string& line : lines(output)) {
        if (line.rfind(name, 0) == 0)
            return line;
    }
    return "";
}

int count(const std::string& text, const std::string& word) {
    int n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

// Every image's row has five "ok" checks but `badImage`'s, which is missing or has a BAD.
void expectOnlyBad(const std::string& output, int badImage) {
    for (int i = 0; i < 17; ++i) {
        const std::string row = rowOf(output, ImageNames[i]);
        SCOPED_TRACE(row);
        if (i != badImage)
            EXPECT_EQ(count(row, " ok "), 5);
        else
            EXPECT_TRUE(count(row, " BAD ") > 0 || row.find("missing") != std::string::npos);
    }
}

void flipByte(const std::string& path, std::size_t offset) {
    std::string bytes = readFile(path);
    ASSERT_LT(offset, bytes.size());
    bytes[offset] = static_cast<char>(bytes[offset] ^ 0x5A);
    writeFile(path, bytes);
}

TEST(Plcinfo, ExampleJoinedFileAndFolderAreValid) {
    Build out;
    build(exampleLayout(), out);
    const RunResult joined = plcinfo({"images/KORVEX.PLC"}, out.dir.path());
    EXPECT_EQ(joined.output, Banner + readFile(TEST_DATA_DIR "/inspector/KORVEX.PLC.txt"));
    EXPECT_EQ(joined.exitStatus, 0);

    // The folder's table is the joined file's without the offsets and the PLC_ENDP part.
    const RunResult folder = plcinfo({out.images()});
    EXPECT_EQ(folder.exitStatus, 0) << folder.output;
    for (int i = 0; i < 17; ++i) {
        std::string row = rowOf(joined.output, ImageNames[i]);
        row.erase(14, 10);
        EXPECT_EQ(rowOf(folder.output, ImageNames[i]), row);
    }
    EXPECT_EQ(folder.output.substr(folder.output.size() - 28), "\nall seventeen images valid\n");

    // The temporaries a kill left behind: the set may mix two builds, even with one farEnd.
    std::vector<std::string> temporaries;
    for (int i = 0; i < 17; ++i) {
        temporaries.push_back(std::string(".") + ImageNames[i] + ".3f0" + std::to_string(i) + "-" +
                              std::to_string(i + 1) + ".tmp");
        writeFile(out.images() + "/" + temporaries.back(), "");
    }
    std::sort(temporaries.begin(), temporaries.end()); // named in byte order
    std::string names;
    for (const std::string& name : temporaries)
        names += (names.empty() ? "" : ", ") + name;
    const RunResult mixed = plcinfo({out.images()});
    EXPECT_EQ(mixed.output.substr(mixed.output.rfind("\n\n") + 2),
              "temporaries of an interrupted Tessan run: " + names +
                  ". The set may mix two builds; a new Tessan run makes it whole.\n"
                  "all seventeen images valid, but the set may mix two builds\n");
    EXPECT_EQ(mixed.exitStatus, 1);
    const std::string json = plcinfo({"--json", out.images()}).output;
    EXPECT_EQ(json.substr(json.find("  \"temporaries\"")).substr(0, 50),
              "  \"temporaries\": [\".Plc_e003.bin.3f02-3.tmp\", \".Pl");
    EXPECT_EQ(json.substr(json.size() - 35), "\"badImages\": 0,\n  \"valid\": false\n}\n");
}

// The example build's page and summary carry what tells one build from another: the make-file
// comment, and the map's bits, structure members and constants in tables of their own.
TEST(Plcinfo, ExampleBuildPageShowsCommentBitsMembersAndConstants) {
    Build out;
    build(exampleLayout(), out);
    const std::string page = out.dir.file("build.html");
    const RunResult run =
        plcinfo({"--html", page, "--images", out.images(), EXAMPLES_DIR "/plc.mp2"});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    const std::string html = readFile(page);
    for (const char* shown :
         {"<p>Make-file comment: <code class=\"comment\">&quot;Line 7 press                   "
          "&quot;</code></p>",
          "<tr><td>KEY_RESET</td><td>KEYS</td><td>07</td></tr>",
          "<tr><td>MODE</td><td>0007</td></tr>\n<tr><td>POS</td><td>0000</td></tr>",
          "<tr><td>PLC_VERSION</td><td>00000104</td></tr>",
          // A structure variable, written as BYTE, takes its room up to the next variable.
          "<tr><td>AXIS_X</td><td class=\"n\">00A0:0000</td><td>BYTE</td><td "
          "class=\"n\">8</td></tr>",
          "<title>AXIS_X  00A0:0000 BYTE, 8 bytes</title>"})
        EXPECT_EQ(count(html, shown), 1) << shown;
    const RunResult markdown =
        plcinfo({"--markdown", "--images", out.joined(), EXAMPLES_DIR "/plc.mp2"});
    EXPECT_EQ(markdown.output.substr(markdown.output.find("\n### Images")),
              "\n### Images\n\n" + plcinfo::markdownText(out.joined()) +
                  ": all seventeen images valid  \nMake-file comment: \"Line 7 press"
                  "                   \"\n\n");
}

// A variable at 0030:12345 (an address of five digits, as the map may write up to eight): the
// page shows it there, as the text report does, and keeps selector and address apart in its
// data. The page's part between its head and its script is compared byte for byte.
TEST(Plcinfo, PageOfAMapWithAFiveDigitAddress) {
    TempDir dir;
    const RunResult run =
        plcinfo({"--html", dir.file("wide.html"), "wide.mp2"}, TEST_DATA_DIR "/inspector");
    // The variable at 12345 ends beyond its segment's 64 KiB: the map's one finding.
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    std::string expected;
    plcinfo::htmlBeginPage(expected, "Plcinfo: symbol map wide.mp2");
    expected += readFile(TEST_DATA_DIR "/inspector/wide.html");
    plcinfo::htmlEndPage(expected);
    EXPECT_EQ(readFile(dir.file("wide.html")), expected);
}

TEST(Plcinfo, ImageLongerThan64KiBIsFoundInTheJoinedFile) {
    Build out;
    build(longFarImageLayout(), out);
    ASSERT_EQ(readFile(out.image(1)).size(), 0x1120Cu);
    const RunResult joined = plcinfo({out.joined()});
    EXPECT_EQ(joined.exitStatus, 0) << joined.output;
    EXPECT_NE(joined.output.find("\nPlc_far0.bin  000001FC  0001120C  120C ok "), std::string::npos)
        << joined.output;
    EXPECT_NE(joined.output.find("\n              size taken as fileLength + 65536: dataCheck "
                                 "holds there\nPlc_e003.bin  00011408  0000003C  "),
              std::string::npos);
    EXPECT_EQ(plcinfo({out.images()}).exitStatus, 0);

    // A changed byte in the long image's data: the length is then taken where the next
    // image's header begins, and only the long image is bad.
    flipByte(out.joined(), 0x1FC + 0x10000);
    const RunResult flipped = plcinfo({out.joined()});
    EXPECT_EQ(flipped.exitStatus, 1);
    expectOnlyBad(flipped.output, 1);
    EXPECT_NE(flipped.output.find("fileLength + 65536: the next image's header begins there\n"),
              std::string::npos);
}

TEST(Plcinfo, OneChangedByteMakesOnlyItsImageBad) {
    Build out;
    build(exampleLayout(), out);
    const std::string original = readFile(out.joined());
    std::size_t offsets[17];
    std::size_t offset = 0;
    for (int i = 0; i < 17; ++i) {
        offsets[i] = offset;
        offset += readFile(out.image(i)).size();
    }
    struct Change {
        int image;
        std::size_t at; // within the image
    };
    // Data bytes at the front, inside and at the very end; header bytes 8 to 11.
    const Change changes[] = {{0, 40}, {0, 8},  {1, 32}, {1, 0x28B},
                              {5, 11}, {9, 45}, {16, 9}, {16, 0x3B}};
    for (const Change& change : changes) {
        SCOPED_TRACE(std::string(ImageNames[change.image]) + " byte " + std::to_string(change.at));
        writeFile(out.joined(), original);
        flipByte(out.joined(), offsets[change.image] + change.at);
        const RunResult joined = plcinfo({out.joined()});
        EXPECT_EQ(joined.exitStatus, 1);
        expectOnlyBad(joined.output, change.image);
        EXPECT_EQ(lines(joined.output).back(), "1 of seventeen images bad");

        const std::string image = readFile(out.image(change.image));
        flipByte(out.image(change.image), change.at);
        const RunResult folder = plcinfo({out.images()});
        EXPECT_EQ(folder.exitStatus, 1);
        expectOnlyBad(folder.output, change.image);
        writeFile(out.image(change.image), image);
    }
    // What the row says: the stored value and the one it should have.
    writeFile(out.joined(), original);
    flipByte(out.joined(), offsets[4] + 8);
    EXPECT_EQ(rowOf(plcinfo({out.joined()}).output, "Plc_e005.bin"),
              "Plc_e005.bin  00000500  0000003C  003C ok        02D2 BAD 02F8  001C ok        "
              "10AA ok        0020 ok        19F0");
}

TEST(Plcinfo, CutJoinedFileMissingImageAndEmptyFolder) {
    Build out;
    build(exampleLayout(), out);
    // Cut 48 bytes into Plc_e009.bin (at 0x5F0): it is cut short, those after it missing.
    const std::string joined = readFile(out.joined());
    writeFile(out.joined(), joined.substr(0, 0x620));
    const RunResult cut = plcinfo({out.joined()});
    EXPECT_EQ(cut.exitStatus, 1);
    EXPECT_EQ(rowOf(cut.output, "Plc_e009.bin"),
              "Plc_e009.bin  000005F0  00000030  cut short, needs 0000003C bytes");
    EXPECT_EQ(rowOf(cut.output, "Plc_e010.bin"), "Plc_e010.bin  missing");
    EXPECT_EQ(rowOf(cut.output, "Plc_e017.bin"), "Plc_e017.bin  missing");
    EXPECT_EQ(rowOf(cut.output, "PLC_ENDP"), "PLC_ENDP      missing");
    EXPECT_EQ(lines(cut.output).back(), "9 of seventeen images bad");
    // Cut inside a header, and cut where an image ends.
    writeFile(out.joined(), joined.substr(0, 0x5F0 + 31));
    EXPECT_EQ(rowOf(plcinfo({out.joined()}).output, "Plc_e009.bin"),
              "Plc_e009.bin  000005F0  0000001F  cut short, needs 00000020 bytes");
    writeFile(out.joined(), joined.substr(0, 0x5F0));
    EXPECT_EQ(rowOf(plcinfo({out.joined()}).output, "Plc_e009.bin"), "Plc_e009.bin  missing");

    std::filesystem::remove(out.joined());
    std::filesystem::remove(out.image(4));
    const RunResult missing = plcinfo({out.images()});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(rowOf(missing.output, "Plc_e005.bin"), "Plc_e005.bin  missing");
    expectOnlyBad(missing.output, 4);

    // The joiner's capital names are found as well.
    std::filesystem::rename(out.image(0), out.images() + "/PLC_MAIN.BIN");
    EXPECT_EQ(rowOf(plcinfo({out.images()}).output, "Plc_main.bin"),
              rowOf(missing.output, "Plc_main.bin"));

    TempDir empty;
    const RunResult none = plcinfo({empty.path() + "/"});
    EXPECT_EQ(none.exitStatus, 1);
    std::string expected = Banner + "\nFolder: " + empty.path() +
                           "/\nNumbers are hexadecimal.\n\n" +
                           "Image         Size      fileLength     headerCheck    dataLength     "
                           "dataCheck      dataOffset     farEnd\n";
    for (const char* name : ImageNames)
        expected += std::string(name) + "  missing\n";
    EXPECT_EQ(none.output, expected + "\n17 of seventeen images bad\n");
}

TEST(Plcinfo, ComparesTwoBuilds) {
    Build before;
    build(exampleLayout(), before);
    Build after;
    plcgen::ProgramLayout layout = exampleLayout();
    plcgen::findSegment(layout, "CODE_UNIT07")->bytes[0x30] = 0;
    plcgen::findSegment(layout, "CODE_UNIT12")->length = 0x50;
    plcgen::fillRamp(*plcgen::findSegment(layout, "CODE_UNIT12"), 0x6A, 7);
    build(layout, after);

    const RunResult run = plcinfo({before.joined(), after.images() + "/"}, "");
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    const std::vector<std::string> rows = lines(run.output);
    ASSERT_EQ(rows.size(), 29u) << run.output;
    EXPECT_EQ(rows[3], "Old joined file: " + before.joined());
    EXPECT_EQ(rows[4], "New folder: " + after.images() + "/");
    EXPECT_EQ(rows[7], "Image         Old size  New size  Old dataCheck  New dataCheck  First "
                       "difference");
    EXPECT_EQ(rows[8], "Plc_main.bin  000001FC  000001FC  E16E           E16E           same");
    EXPECT_EQ(rows[14], "Plc_e007.bin  0000003C  0000003C  10E2           102D           0000001A");
    EXPECT_EQ(rows[19], "Plc_e012.bin  0000003C  0000004C  106E           17A2           0000000C");
    EXPECT_EQ(rows[26], "2 of seventeen images differ");
    EXPECT_EQ(rows[27], "Old: all seventeen images valid");
    EXPECT_EQ(rows[28], "New: all seventeen images valid");
    // The summary names what differs in each image that differs.
    const std::string markdown = plcinfo({"--markdown", before.joined(), after.images()}).output;
    EXPECT_EQ(markdown.substr(markdown.find("| image")),
              "| image | old size | new size | delta | what differs |\n|---|---:|---:|---:|---|\n"
              "| `Plc_e007.bin` | 60 | 60 | 0 | dataCheck; first differing byte at 0000001A "
              "(hexadecimal) |\n"
              "| `Plc_e012.bin` | 60 | 76 | +16 | fileLength, headerCheck, dataLength, dataCheck; "
              "first differing byte at 0000000C (hexadecimal) |\n");

    // Two joined files also compare their PLC_ENDP parts; a bad image makes the status 1.
    flipByte(after.joined(), 40);
    const RunResult joined = plcinfo({before.joined(), after.joined()});
    EXPECT_EQ(joined.exitStatus, 1);
    EXPECT_EQ(rowOf(joined.output, "PLC_ENDP"),
              "PLC_ENDP      00000038  00000038  -              -              same");
    EXPECT_EQ(lines(joined.output).back(), "New: 1 of seventeen images bad");
}

TEST(Plcinfo, WrongArgumentsAndUnreadableFiles) {
    const RunResult none = plcinfo({});
    EXPECT_EQ(none.output, Banner + "\nError: No folder or joined file given\n" + Usage);
    EXPECT_EQ(none.exitStatus, testsupport::FailureStatus);
    // The help is the syntax and more; it and the version answer wherever they stand.
    const RunResult help = plcinfo({"--help"});
    EXPECT_EQ(help.output.substr(0, Banner.size() + Usage.size()), Banner + Usage);
    EXPECT_EQ(help.exitStatus, 0);
    const RunResult version = plcinfo({"a", "--version"});
    EXPECT_EQ(version.output, Banner + "\nPlcinfo (PlcPostLink) " PLC_PACKAGE_VERSION "\n");
    EXPECT_EQ(version.exitStatus, 0);
    const RunResult option = plcinfo({"a", "-x", "b"});
    EXPECT_EQ(option.output, Banner + "\nError: Unknown option: -x\n" + Usage);
    EXPECT_EQ(option.exitStatus, testsupport::FailureStatus);
    EXPECT_EQ(plcinfo({"a", "b", "c"}).output,
              Banner + "\nError: More than two paths: c\n" + Usage);

    TempDir dir;
    const std::string absent = dir.file("absent.PLC");
    const RunResult missing = plcinfo({absent});
    EXPECT_EQ(missing.output, Banner + "\nError: File cannot be opened: " + absent + "\n");
    EXPECT_EQ(missing.exitStatus, testsupport::FailureStatus);
    // An empty joined file holds no image; a second path that cannot be read fails the run.
    writeFile(dir.file("empty.PLC"), "");
    EXPECT_EQ(plcinfo({dir.file("empty.PLC")}).exitStatus, 1);
    EXPECT_EQ(plcinfo({dir.file("empty.PLC"), absent}).exitStatus, testsupport::FailureStatus);
    // A report that cannot be written is a failure, not a verified build.
    // (Through the shell's redirection to the full device: POSIX only.)
#ifndef _WIN32
    if (std::filesystem::exists("/dev/full")) {
        const std::string command = std::string(PLCINFO_PATH) + " " + EXAMPLES_DIR " >/dev/full";
        EXPECT_EQ(runProgram("/bin/sh", {"-c", command}).exitStatus, testsupport::FailureStatus);
    }
#endif
    // In JSON form a failure is a JSON document too, and there is no banner.
    const RunResult json = plcinfo({"--json", absent});
    std::string quoted; // the path as a JSON string holds it: a backslash is doubled
    for (char c : absent)
        quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(json.output, "{\"error\": \"File cannot be opened: " + quoted + "\"}\n");
    EXPECT_EQ(json.exitStatus, testsupport::FailureStatus);
}

// The page replaces no input (each kind of one) and no file of other bytes; it is written
// before the report, so a page that cannot be written prints its error alone.
TEST(Plcinfo, PageReplacesNothingItReadsAndFailsAlone) {
    Build out;
    build(exampleLayout(), out);
    const std::string& dir = out.dir.path();
    writeFile(out.dir.file("plc.mp2"), readFile(EXAMPLES_DIR "/plc.mp2"));
    writeFile(out.dir.file("notes.txt"), "not a page");
    const std::string image = std::string("images/") + ImageNames[0]; // found ignoring case
    const std::vector<std::string> slips[] = {
        {image, "images"},
        {"images/KORVEX.PLC", "images", "images/KORVEX.PLC"},
        {"plc.mp2", "plc.mp2"},
        {"images/KORVEX.PLC", "--images", "images/KORVEX.PLC", "plc.mp2"},
        {"notes.txt", "images/KORVEX.PLC"},
    };
    for (const std::vector<std::string>& slip : slips) {
        const std::string before = readFile(out.dir.file(slip[0]));
        std::vector<std::string> args = {"--html"};
        args.insert(args.end(), slip.begin(), slip.end());
        const RunResult run = plcinfo(args, dir);
        EXPECT_EQ(run.output, Banner + "\nError: the page would replace " + slip[0] + "\n");
        EXPECT_EQ(run.exitStatus, testsupport::FailureStatus);
        EXPECT_EQ(readFile(out.dir.file(slip[0])), before);
    }

    // A new page, an empty file and a page of an earlier run are written over; what is printed
    // is the report as without a page.
    writeFile(out.dir.file("empty.html"), "");
    const RunResult plain = plcinfo({"plc.mp2"}, dir);
    for (const char* page : {"new.html", "empty.html", "new.html"}) {
        const RunResult run = plcinfo({"--html", page, "plc.mp2"}, dir);
        EXPECT_EQ(run.output, plain.output);
        EXPECT_EQ(run.exitStatus, 0);
    }
    EXPECT_EQ(readFile(out.dir.file("new.html")), readFile(out.dir.file("empty.html")));

    const RunResult json = plcinfo({"--json", "--html", "missing/page.html", "plc.mp2"}, dir);
    EXPECT_EQ(json.output, "{\"error\": \"File cannot be written: missing/page.html\"}\n");
    EXPECT_EQ(json.exitStatus, testsupport::FailureStatus);
    const RunResult markdown =
        plcinfo({"--markdown", "--html", "missing/page.html", "images/KORVEX.PLC"}, dir);
    EXPECT_EQ(markdown.output, "\nError: File cannot be written: missing/page.html\n");
    EXPECT_EQ(markdown.exitStatus, testsupport::FailureStatus);
}

// Runs python3's JSON reader on the document and prints, one line per image, the name and
// the numbers in table order, so that they can be held against the table's.
const char JsonToRows[] = R"(
import json, sys
doc = json.load(open(sys.argv[1]))
assert len(doc["images"]) == 17
for image in doc["images"]:
    if image["state"] != "present":
        print(image["name"], image["state"])
        continue
    fields = ["fileLength", "headerCheck", "dataLength", "dataCheck", "dataOffset"]
    cells = [image["name"], "%08X" % image["size"]]
    for field in fields:
        cells.append("%04X" % image[field])
        cells.append("ok" if image["checks"][field] else "BAD %04X" % image["expected"][field])
    cells.append("%04X" % image["farEnd"])
    print(" ".join(cells))
print(doc["badImages"], doc["valid"])
)";

// The table's rows in the same form: offset column and repeated blanks dropped.
std::string tableRows(const std::string& table, bool joined) {
    std::string rows;
    for (std::string line : lines(table)) {
        if (line.rfind("Plc_", 0) != 0)
            continue;
        if (joined && line.find("missing") == std::string::npos)
            line.erase(14, 10);
        std::string squeezed;
        for (char c : line) {
            if (c != ' ' || (squeezed.size() > 0 && squeezed.back() != ' '))
                squeezed += c;
        }
        rows += squeezed + "\n";
    }
    return rows;
}

TEST(Plcinfo, JsonIsValidAndHoldsTheTableNumbers) {
#ifdef _WIN32
    // Under Wine /usr/bin/python3 is visible on drive Z:, but it is a Linux program, which a
    // Windows program cannot start.
    GTEST_SKIP() << "no python3 for Windows to read the JSON with";
#endif
    const std::string python = "/usr/bin/python3";
    if (!std::filesystem::exists(python))
        GTEST_SKIP() << "no python3 to read the JSON with";
    Build out;
    build(longFarImageLayout(), out);
    flipByte(out.image(3), 13);
    std::filesystem::remove(out.image(8));
    TempDir scratch;
    writeFile(scratch.file("rows.py"), JsonToRows);
    for (const std::string& path : {out.joined(), out.images()}) {
        SCOPED_TRACE(path);
        const RunResult json = plcinfo({"--json", path});
        EXPECT_EQ(json.exitStatus, path == out.joined() ? 0 : 1);
        writeFile(scratch.file("doc.json"), json.output);
        const RunResult rows =
            runProgram(python, {scratch.file("rows.py"), scratch.file("doc.json")});
        ASSERT_EQ(rows.exitStatus, 0) << rows.output << json.output;
        const std::string table = plcinfo({path}).output;
        const std::string expectedTail = path == out.joined() ? "0 True\n" : "2 False\n";
        EXPECT_EQ(rows.output, tableRows(table, path == out.joined()) + expectedTail);
    }
    // The comparison document is valid JSON as well.
    writeFile(scratch.file("doc.json"), plcinfo({"--json", out.joined(), out.images()}).output);
    EXPECT_EQ(runProgram(python, {"-m", "json.tool", scratch.file("doc.json")}).exitStatus, 0);
}

} // namespace
