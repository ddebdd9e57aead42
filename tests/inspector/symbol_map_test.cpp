// The built Plcinfo on symbol maps that the built Symvex writes from the example and from
// generated listings, and on copies edited for each kind of fault: the check and summary, the
// look-ups, the comparison of two builds' maps; and on image sets mixed from two builds.
// Standard output and exit status compared whole.
#include "maps/map_report_text.h"
#include "plc_generator.h"
#include "plc_listing.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string Banner =
    "\nPLC-Bin inspector for Zelvar        Version " PLC_PACKAGE_VERSION "   PLC image inspector\n";
const std::string Note =
    "Selectors, addresses and constant values are hexadecimal; offsets and weights decimal.\n\n";

RunResult plcinfo(const std::vector<std::string>& args) {
    return runProgram(PLCINFO_PATH, args);
}

// Symvex's map of the project's listing (with an empty linker map), written as `name` in `dir`.
std::string writeMap(const TempDir& dir, const std::string& name,
                     const plcgen::ListingProject& project) {
    const std::string listing = dir.file(name + ".lst");
    writeFile(listing, plcgen::buildListing(project));
    writeFile(dir.file("empty.map"), "");
    const RunResult run = runProgram(SYMVEX_PATH, {dir.file(name), listing, dir.file("empty.map")});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    return dir.file(name);
}

// A path as a JSON string holds it: a backslash is doubled.
std::string json(const std::string& path) {
    std::string quoted;
    for (char c : path)
        quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return quoted;
}

// The map's lines (without their CR LF) and back.
std::vector<std::string> mapLines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = readFile(path);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

void writeLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    writeFile(path, text);
}

// The findings of a check's text: the lines that begin with "line ".
std::string findingsOf(const std::string& output) {
    std::string findings;
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t end = output.find('\n', at);
        const std::string line = output.substr(at, end - at + 1);
        if (line.rfind("line ", 0) == 0)
            findings += line;
        at = end + 1;
    }
    return findings;
}

const std::string StructureNote =
    "Not seen: the map records no structure type, so a change of a structure variable's\n"
    "structure or of a member's type that keeps every address shows nowhere above, nor does\n"
    "a change in the size of the last variable of a selector.\n";

// The structure variables AXIS_X and AXIS_Y (BYTE rows, 8 bytes each) count by their room: 00A0
// takes 19 bytes, not 5.
const std::string ExampleSummary =
    "Section              Rows\n"
    "SYMBOL_TABLE           14\n"
    "BIT_FIELDS              6\n"
    "STRUCTURE_OFFSETS       7\n"
    "BIT_WEIGHTS             6\n"
    "CONSTANTS               4\n"
    "\n"
    "Selector  Variables  Lowest    Highest   End       Taken  Of 64 KiB    Fill\n"
    "0030              3  00000000  00000004  00000006      6  FFFA left    0.1%\n"
    "0068              5  00000000  00000008  00000010     16  FFF0 left    0.1%\n"
    "00A0              4  00000000  00000020  00000021     19  FFDF left    0.1%\n"
    "0160              2  00000000  00000002  00000003      3  FFFD left    0.1%\n" +
    std::string(plcinfo::TakenNote) + "\n" +
    "\nLayout fingerprints\n"
    "0030 DATA_COM  122cbc34413c05f2\n"
    "0068 DATA1     1b255fed8873e8d6\n"
    "00A0 DATA_USR  60c2fce4ddd32eca\n"
    "0160 DATAROZ   8c094d54719c25d8\n";

// A budget is met by a segment filled up to it and exceeded by one byte more; the verdict line
// names the segments over it, beside the classes --fail-on met.
TEST(SymbolMapCheck, FillBudgetJustUnderAndJustOver) {
    TempDir dir;
    const std::string old = writeMap(dir, "old.mp2", plcgen::standardListingProject(8));
    plcgen::ListingProject project = plcgen::standardListingProject(8);
    // DATA1 ends at 8000: exactly 50.0% of its 64 KiB; DATA_COM one byte beyond 8000.
    project.variables.push_back({"HALF", "Byte", "DATA1", 0x7FFF});
    project.variables.push_back({"OVER", "Word", "DATA_COM", 0x7FFF});
    const std::string map = writeMap(dir, "new.mp2", project);
    const std::string tail =
        "symbol map sound\nStopped by --max-fill: 0030 DATA_COM 50.1% > 50.0%\n";
    const RunResult over = plcinfo({"--max-fill", "50", map});
    EXPECT_EQ(over.exitStatus, 2);
    EXPECT_EQ(over.output.substr(over.output.size() - tail.size()), tail);
    const RunResult page = plcinfo({"--html", dir.file("fill.html"), "--max-fill", "50", map});
    EXPECT_EQ(page.exitStatus, 2);
    const std::string html = readFile(dir.file("fill.html"));
    EXPECT_NE(html.find("<br>Stopped by --max-fill: 0030 DATA_COM 50.1% &gt; 50.0%</p>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=\"n bad\">50.1% of 50.0% over</td>"), std::string::npos);
    EXPECT_NE(html.find("<rect class=\"budget\" x=\"32441\" width=\"655\" height=\"10\">"),
              std::string::npos);
    // A segment's own budget outweighs the one for all; a name or a selector names it.
    EXPECT_EQ(plcinfo({"--max-fill", "50,DATA_COM=50.1", map}).exitStatus, 0);
    EXPECT_EQ(plcinfo({"--max-fill", "50", "--max-fill", "30h=50.1", map}).exitStatus, 0);
    EXPECT_EQ(plcinfo({"--max-fill", "49.9,0030=60,data1=50", map}).exitStatus, 0);

    // Two builds: both guards in one verdict line, in every form.
    const RunResult both = plcinfo({"--fail-on", "added", "--max-fill", "50", old, map});
    EXPECT_EQ(both.exitStatus, 2);
    EXPECT_NE(both.output.find("\nStopped by --fail-on: variable-added; --max-fill: 0030 "
                               "DATA_COM 50.1% > 50.0%\n"),
              std::string::npos)
        << both.output;
    const RunResult markdown = plcinfo({"--markdown", "--max-fill", "50", old, map});
    EXPECT_NE(markdown.output.find("| 0030 DATA_COM | 0.1% | **50.1% of 50.0% over** | +7FFF "
                                   "(+50.0%) | 7FFF left |"),
              std::string::npos)
        << markdown.output;
    const RunResult passes = plcinfo({"--json", "--max-fill", "50.1", old, map});
    EXPECT_EQ(passes.exitStatus, 0);
    EXPECT_NE(passes.output.find("\"new\": {\"end\": 32769, \"left\": 32767, \"fill\": 50.1, "
                                 "\"maxFill\": 50.1, \"overBudget\": false}"),
              std::string::npos)
        << passes.output;
}

TEST(SymbolMapCheck, ExampleMapIsSoundAVariablePastItsSegmentIsAFinding) {
    const std::string example = EXAMPLES_DIR "/plc.mp2";
    const RunResult text = plcinfo({example});
    EXPECT_EQ(text.output, Banner + "\nSymbol map: " + example + "\n" + Note + ExampleSummary +
                               "\nsymbol map sound\n");
    EXPECT_EQ(text.exitStatus, 0);
    const RunResult json = plcinfo({"--json", example});
    EXPECT_EQ(
        json.output,
        "{\n  \"program\": \"Plcinfo\",\n  \"version\": \"" PLC_PACKAGE_VERSION
        "\",\n  \"path\": \"" +
            example +
            "\",\n  \"kind\": \"symbol map\",\n  \"findings\": [\n  ],\n"
            "  \"sections\": {\"SYMBOL_TABLE\": 14, \"BIT_FIELDS\": 6, "
            "\"STRUCTURE_OFFSETS\": 7, \"BIT_WEIGHTS\": 6, \"CONSTANTS\": 4},\n"
            "  \"selectors\": [\n"
            "    {\"selector\": 48, \"variables\": 3, \"lowest\": 0, \"highest\": 4, "
            "\"end\": 6, \"taken\": 6, \"withinSegment\": true, \"left\": 65530, \"fill\": 0.1},\n"
            "    {\"selector\": 104, \"variables\": 5, \"lowest\": 0, \"highest\": 8, "
            "\"end\": 16, \"taken\": 16, \"withinSegment\": true, \"left\": 65520, \"fill\": "
            "0.1},\n"
            "    {\"selector\": 160, \"variables\": 4, \"lowest\": 0, \"highest\": 32, "
            "\"end\": 33, \"taken\": 19, \"withinSegment\": true, \"left\": 65503, \"fill\": "
            "0.1},\n"
            "    {\"selector\": 352, \"variables\": 2, \"lowest\": 0, \"highest\": 2, "
            "\"end\": 3, \"taken\": 3, \"withinSegment\": true, \"left\": 65533, \"fill\": 0.1}\n"
            "  ],\n  \"layouts\": [\n"
            "    {\"selector\": 48, \"segment\": \"DATA_COM\", \"fingerprint\": "
            "\"122cbc34413c05f2\"},\n"
            "    {\"selector\": 104, \"segment\": \"DATA1\", \"fingerprint\": "
            "\"1b255fed8873e8d6\"},\n"
            "    {\"selector\": 160, \"segment\": \"DATA_USR\", \"fingerprint\": "
            "\"60c2fce4ddd32eca\"},\n"
            "    {\"selector\": 352, \"segment\": \"DATAROZ\", \"fingerprint\": "
            "\"8c094d54719c25d8\"}\n"
            "  ],\n  \"findingCount\": 0,\n  \"sound\": true\n}\n");
    EXPECT_EQ(json.exitStatus, 0);

    // A generated project of every kind, one variable ending past its selector's 64 KiB: a
    // finding in every form of report.
    TempDir dir;
    plcgen::ListingProject project = plcgen::standardListingProject(40000);
    project.variables.push_back({"FAR_TABLE", "QWord", "DATA1", 0xFFFC});
    const std::string generated = writeMap(dir, "gen.mp2", project);
    const RunResult big = plcinfo({generated});
    EXPECT_EQ(big.exitStatus, 1);
    EXPECT_EQ(findingsOf(big.output), "line 5: FAR_TABLE, a QWORD at 0068:FFFC, ends at 10004, "
                                      "beyond its segment's 64 KiB\n");
    EXPECT_EQ(big.output.substr(big.output.rfind("\nSelector  ") + 1),
              "Selector  Variables  Lowest    Highest   End       Taken  Of 64 KiB    Fill\n"
              "0030          10000  00000000  0000A941  0000A942  43330  56BE left    66.2%\n"
              "0068          10001  00000000  0000FFFC  00010004  36668  0004 beyond  100.1%\n"
              "00A0          10000  00000000  0000A93E  0000A942  43330  56BE left    66.2%\n"
              "0160          10000  00000000  00008F30  00008F38  36664  70C8 left    56.0%\n" +
                  std::string(plcinfo::TakenNote) + "\n" +
                  "\nLayout fingerprints\n"
                  "0030 DATA_COM  5800d2bb7089fb24\n"
                  "0068 DATA1     b290645b931870c3\n"
                  "00A0 DATA_USR  e584cd8d81f4cc9c\n"
                  "0160 DATAROZ   28663830aff91389\n"
                  "\n1 finding\n");
    const std::string page = dir.file("gen.html");
    const RunResult forms[] = {plcinfo({"--json", generated}), plcinfo({"--markdown", generated}),
                               plcinfo({"--html", page, generated})};
    for (const RunResult& form : forms) {
        EXPECT_EQ(form.exitStatus, 1);
        const std::string report = &form == &forms[2] ? readFile(page) : form.output;
        EXPECT_NE(report.find("ends at 10004, beyond its segment"), std::string::npos);
    }
}

// Each kind of finding on a small generated map edited for it: the finding names its line.
TEST(SymbolMapCheck, EachEditGivesAFindingThatNamesItsLine) {
    TempDir dir;
    const std::string path = writeMap(dir, "small.mp2", plcgen::standardListingProject(8));
    const std::vector<std::string> sound = mapLines(path);
    ASSERT_EQ(plcinfo({path}).exitStatus, 0);
    struct Edit {
        const char* what;
        void (*edit)(std::vector<std::string>&);
        const char* findings;
    };
    const Edit edits[] = {
        {"row removed", [](std::vector<std::string>& l) { l.erase(l.begin() + 6); },
         "line 3: [SYMBOL_TABLE 8] says 8 rows, the section has 7\nline 17: the location V000002 "
         "of the bit KEY_HOLD is no variable of the symbol table\nline 18: the location V000002 of "
         "the bit KEY_START is no variable of the symbol table\nline 19: the location V000002 of "
         "the bit KEY_STOP is no variable of the symbol table\n"},
        {"count changed", [](std::vector<std::string>& l) { l[2] = "[SYMBOL_TABLE 9]"; },
         "line 3: [SYMBOL_TABLE 9] says 9 rows, the section has 8\n"},
        {"rows swapped", [](std::vector<std::string>& l) { std::swap(l[5], l[6]); },
         "line 7: V000001 is out of order: it sorts before V000002 of line 6\n"},
        {"header", [](std::vector<std::string>& l) { l[0] = "$MP2 03"; },
         "line 1: the header line is \"$MP2 03\", not \"$MP2 02\"\n"},
        {"upper-case address", [](std::vector<std::string>& l) { l[4][10] = 'A'; },
         "line 5: the address is not lower-case hexadecimal of at least four digits, \"H\" and "
         "three blanks\n"},
        {"type column", [](std::vector<std::string>& l) { l[4].replace(16, 4, "LONG"); },
         "line 5: the type column is none the writer gives (\"BYTE \", \"WORD \", \"DWORD\", "
         "\"MECH \" or \"BYTE\") followed by three blanks and the name\n"},
        {"blank fill", [](std::vector<std::string>& l) { l[16].erase(10, 1); },
         "line 17: the blank fill after the name is not 26 blanks\n"},
        {"location", [](std::vector<std::string>& l) { l[16].replace(31, 7, "V999999"); },
         "line 17: the location V999999 of the bit FAULT is no variable of the symbol table\n"},
        {"bit sections differ", [](std::vector<std::string>& l) { std::swap(l[33], l[34]); },
         "line 34: the bit-weights rows of lines 34 and 35 are in the other order than in the "
         "bit-fields section\nline 35: KEY_START is out of order: it sorts before KEY_STOP of line "
         "34\n"},
        {"comment", [](std::vector<std::string>& l) { l[3] = ";Sel Addr Type Symbol"; },
         "line 4: the comment line is not \";Sel    Addr    Type    Symbol\"\n"},
        {"repeated name", [](std::vector<std::string>& l) { l[6] = l[5]; },
         "line 7: V000001 repeats the name of line 6\nline 18: the location V000002 of the bit "
         "KEY_HOLD is no variable of the symbol table\nline 19: the location V000002 of the bit "
         "KEY_START is no variable of the symbol table\nline 20: the location V000002 of the bit "
         "KEY_STOP is no variable of the symbol table\n"},
        {"title misspelt", [](std::vector<std::string>& l) { l[13] = "[BIT_FIELD 6]"; },
         "line 14: expected [BIT_FIELDS n], found \"[BIT_FIELD 6]\"\n"},
        {"text after the last row", [](std::vector<std::string>& l) { l.push_back(""); },
         "line 43: text after the last row\n"},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        std::vector<std::string> lines = sound;
        edit.edit(lines);
        writeLines(path, lines);
        const RunResult run = plcinfo({path});
        EXPECT_EQ(findingsOf(run.output), edit.findings) << run.output;
        EXPECT_EQ(run.exitStatus, 1);
    }
    // Line ends: one cut to LF, and a file cut inside its last row.
    std::string text = readFile(EXAMPLES_DIR "/plc.mp2");
    writeFile(path,
              text.substr(0, text.find("\r\n", 100)) + text.substr(text.find("\r\n", 100) + 1));
    EXPECT_EQ(findingsOf(plcinfo({path}).output), "line 6: the line ends in LF alone, not CR LF\n");
    writeFile(path, text.substr(0, text.size() - 3));
    const RunResult cut = plcinfo({path});
    EXPECT_EQ(findingsOf(cut.output), "line 53: the file ends without CR LF after the line\nline "
                                      "53: the value is not eight lower-case hexadecimal digits\n");
    EXPECT_EQ(cut.exitStatus, 1);
    // Past the first thousand, findings are only counted; the texts kept stay whole.
    std::vector<std::string> many = sound;
    many.insert(many.begin() + 4, 1200, "");
    writeLines(path, many);
    const std::string manyOutput = plcinfo({path}).output;
    const std::string manyFindings = findingsOf(manyOutput);
    EXPECT_EQ(std::count(manyFindings.begin(), manyFindings.end(), '\n'), 1000);
    EXPECT_EQ(manyFindings.substr(0, 42), "line 5: an empty line among the rows\nline ");
    EXPECT_NE(
        manyOutput.find("line 1004: an empty line among the rows\n... and 200 findings more\n"),
        std::string::npos)
        << manyOutput;
    // The whole report of a map with findings, as text and as JSON.
    std::vector<std::string> lines = sound;
    std::swap(lines[5], lines[6]);
    lines[2] = "[SYMBOL_TABLE 9]";
    writeLines(path, lines);
    EXPECT_EQ(plcinfo({path}).output,
              Banner + "\nSymbol map: " + path + "\n" + Note +
                  "line 3: [SYMBOL_TABLE 9] says 9 rows, the section has 8\n"
                  "line 7: V000001 is out of order: it sorts before V000002 of line 6\n\n"
                  "Section              Rows\n"
                  "SYMBOL_TABLE            8\n"
                  "BIT_FIELDS              6\n"
                  "STRUCTURE_OFFSETS       3\n"
                  "BIT_WEIGHTS             6\n"
                  "CONSTANTS               3\n\n"
                  "Selector  Variables  Lowest    Highest   End       Taken  Of 64 KiB    Fill\n"
                  "0030              2  00000000  00000001  00000002      2  FFFE left    0.1%\n"
                  "0068              2  00000000  00000001  00000002      2  FFFE left    0.1%\n"
                  "00A0              2  00000000  00000001  00000002      2  FFFE left    0.1%\n"
                  "0160              2  00000000  00000001  00000003      3  FFFD left    0.1%\n" +
                  plcinfo::TakenNote + "\n" +
                  "\nLayout fingerprints\n"
                  "0030 DATA_COM  184aa8c88682fca9\n"
                  "0068 DATA1     a39433c09a2673f9\n"
                  "00A0 DATA_USR  69c8d718c676452b\n"
                  "0160 DATAROZ   b6ef61913ababed6\n"
                  "\n2 findings\n");
    EXPECT_EQ(
        plcinfo({"--json", path}).output,
        "{\n  \"program\": \"Plcinfo\",\n  \"version\": \"" PLC_PACKAGE_VERSION "\",\n  \"path\": "
        "\"" +
            json(path) +
            "\",\n  \"kind\": \"symbol map\",\n  \"findings\": "
            "[\n    {\"line\": 3, \"text\": \"[SYMBOL_TABLE 9] says 9 rows, the section has "
            "8\"},\n    "
            "{\"line\": 7, \"text\": \"V000001 is out of order: it sorts before V000002 of line "
            "6\"}\n "
            " ],\n  \"sections\": {\"SYMBOL_TABLE\": 8, \"BIT_FIELDS\": 6, \"STRUCTURE_OFFSETS\": "
            "3, "
            "\"BIT_WEIGHTS\": 6, \"CONSTANTS\": 3},\n  \"selectors\": [\n    {\"selector\": 48, "
            "\"variables\": 2, \"lowest\": 0, \"highest\": 1, \"end\": 2, \"taken\": 2, "
            "\"withinSegment\": true, \"left\": 65534, \"fill\": 0.1},\n    {\"selector\": 104, "
            "\"variables\": 2, \"lowest\": 0, \"highest\": 1, \"end\": 2, \"taken\": 2, "
            "\"withinSegment\": true, \"left\": 65534, \"fill\": 0.1},\n    "
            "{\"selector\": 160, \"variables\": 2, \"lowest\": 0, \"highest\": 1, \"end\": 2, "
            "\"taken\": 2, \"withinSegment\": true, \"left\": 65534, \"fill\": 0.1},\n    "
            "{\"selector\": 352, \"variables\": 2, \"lowest\": 0, \"highest\": 1, \"end\": 3, "
            "\"taken\": 3, \"withinSegment\": true, \"left\": 65533, \"fill\": 0.1}\n  "
            "],\n  \"layouts\": [\n"
            "    {\"selector\": 48, \"segment\": \"DATA_COM\", \"fingerprint\": "
            "\"184aa8c88682fca9\"},\n"
            "    {\"selector\": 104, \"segment\": \"DATA1\", \"fingerprint\": "
            "\"a39433c09a2673f9\"},\n"
            "    {\"selector\": 160, \"segment\": \"DATA_USR\", \"fingerprint\": "
            "\"69c8d718c676452b\"},\n"
            "    {\"selector\": 352, \"segment\": \"DATAROZ\", \"fingerprint\": "
            "\"b6ef61913ababed6\"}\n"
            "  ],\n  \"findingCount\": 2,\n  \"sound\": false\n}\n");
}

// Damage that hides nothing: each is a finding on its line alone (or on line 1 for the whole
// file), and the sections after it give the same summary, look-ups and comparison as the map
// as written.
TEST(SymbolMapCheck, DamageIsFoundOnItsLineAndTheRestIsReadAsWritten) {
    TempDir dir;
    const std::string example = EXAMPLES_DIR "/plc.mp2";
    const std::string text = readFile(example);
    const std::string path = dir.file("damaged.mp2");
    const auto utf16 = [](const std::string& bytes, bool low) {
        std::string out = low ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : bytes)
            out += low ? std::string{c, '\0'} : std::string{'\0', c};
        return out;
    };
    const std::size_t title = text.find("[BIT_FIELDS 6]") + 14;
    const struct {
        const char* what;
        std::string bytes;
        const char* findings;
    } damages[] = {
        {"title with a trailing blank", text.substr(0, title) + " " + text.substr(title),
         "line 20: the title line \"[BIT_FIELDS 6] \" is not of the form [BIT_FIELDS n]\n"},
        {"title with a stray CR", text.substr(0, title) + "\r" + text.substr(title),
         "line 20: the title line \"[BIT_FIELDS 6]\\x0D\" is not of the form [BIT_FIELDS n]\n"},
        {"title without its ]", text.substr(0, title - 1) + text.substr(title),
         "line 20: the title line \"[BIT_FIELDS 6\" is not of the form [BIT_FIELDS n]\n"},
        {"title missing", text.substr(0, title - 14) + text.substr(title + 2),
         "line 20: the title [BIT_FIELDS n] is missing before the comment line\n"},
        {"extra empty line", "$MP2 02\r\n\r\n" + text.substr(9),
         "line 2: an empty line too many before [SYMBOL_TABLE n]\n"},
        {"byte-order mark", "\xEF\xBB\xBF" + text,
         "line 1: saved as UTF-8 with a byte-order mark: the control reads bytes; save it as the "
         "program wrote it\n"},
        {"UTF-16, low byte first", utf16(text, true),
         "line 1: saved as UTF-16: the control reads bytes; save it as the program wrote it\n"},
        {"UTF-16, high byte first", utf16(text, false),
         "line 1: saved as UTF-16: the control reads bytes; save it as the program wrote it\n"},
    };
    // The report from `from` on, its verdict line and the rows' line numbers (which an extra
    // line shifts) left out.
    const auto after = [](const std::string& output, const char* from) {
        std::string part = output.substr(output.find(from));
        part.erase(part.rfind("\n\n"));
        for (std::size_t at; (at = part.find("  (line ")) != std::string::npos;)
            part.erase(at, part.find(')', at) + 1 - at);
        return part;
    };
    const RunResult sound = plcinfo({example});
    const std::string find = plcinfo({"--find", "*S*", "--at", "30:2", example}).output;
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        writeFile(path, damage.bytes);
        const RunResult run = plcinfo({path});
        EXPECT_EQ(findingsOf(run.output), damage.findings);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(after(run.output, "Section"), after(sound.output, "Section"));
        EXPECT_EQ(after(plcinfo({"--find", "*S*", "--at", "30:2", path}).output, "Rows named"),
                  after(find, "Rows named"));
        const std::string compared = plcinfo({example, path}).output;
        EXPECT_EQ(compared.substr(compared.rfind("\n\n") + 2),
                  StructureNote + "no change\nOld: symbol map sound\nNew: 1 finding\n");
    }
}

TEST(SymbolMapLookUp, FindAndAtHitsAndMisses) {
    const std::string example = EXAMPLES_DIR "/plc.mp2";
    const std::string head = Banner + "\nSymbol map: " + example + "\n" + Note;
    // A record variable with its bits, a bit with its variable, wildcards across sections.
    EXPECT_EQ(plcinfo({"--find", "panel_io", example}).output,
              head + "Rows named panel_io:\nvariable          PANEL_IO  0030:0002 BYTE  (line "
                     "14)\n                  bit BUSY weight 02\n                  bit FAULT "
                     "weight 01\n                  bit READY weight 00\n\nsymbol map sound\n");
    EXPECT_EQ(plcinfo({"--find", "?us*", example}).output,
              head + "Rows named ?us*:\nbit               BUSY in PANEL_IO weight 02  (line 22)\n  "
                     "                variable PANEL_IO  0030:0002 BYTE\n\nsymbol map sound\n");
    EXPECT_EQ(plcinfo({"--find", "*t?", example}).output,
              head + "Rows named *t?:\nmember            STATE offset 0006  (line 34)\n\nsymbol "
                     "map sound\n");
    const RunResult none = plcinfo({"--find", "NOTHING", "--at", "160:4", example});
    EXPECT_EQ(none.output,
              head + "Rows named NOTHING:\nnone\n\nVariables at 0160:0004:\nNo variable begins at "
                     "0160:0004.\nNot a match: ROZ_TABLE  0160:0002 BYTE begins 0002 bytes before "
                     "it.\n\nsymbol map sound\n");
    EXPECT_EQ(none.exitStatus, 0);
    // Exact hits, and a miss with the variable before it marked as no match.
    EXPECT_EQ(plcinfo({"--at", "68:0", example}).output,
              head + "Variables at 0068:0000:\nvariable          MODULE_BLOCK_INIT  0068:0000 "
                     "MECH\n\nsymbol map sound\n");
    EXPECT_EQ(plcinfo({"--at", "0030:0003H", example}).output,
              head + "Variables at 0030:0003:\nNo variable begins at 0030:0003.\nNot a match: "
                     "PANEL_IO  0030:0002 BYTE begins 0001 bytes before it.\n\nsymbol map sound\n");
    EXPECT_EQ(plcinfo({"--json", "--find", "BUSY", "--at", "30:3", example}).output,
              "{\n  \"program\": \"Plcinfo\",\n  \"version\": \"" PLC_PACKAGE_VERSION
              "\",\n  \"path\": "
              "\"" +
                  json(example) +
                  "\",\n  \"kind\": \"symbol map\",\n  \"find\": {\"pattern\": "
                  "\"BUSY\", \"rows\": [\n    {\"section\": \"BIT_FIELDS\", \"name\": \"BUSY\", "
                  "\"line\": "
                  "22, \"location\": \"PANEL_IO\", \"weight\": 2, \"variable\": {\"selector\": 48, "
                  "\"address\": 2, \"type\": \"BYTE\"}}\n  ]},\n  \"at\": {\"selector\": 48, "
                  "\"address\": 3, "
                  "\"variables\": [], \"before\": {\"section\": \"SYMBOL_TABLE\", \"name\": "
                  "\"PANEL_IO\", "
                  "\"line\": 14, \"selector\": 48, \"address\": 2, \"type\": \"BYTE\", "
                  "\"distance\": 1}},\n  "
                  "\"findingCount\": 0,\n  \"sound\": true\n}\n");
    // Wrong values.
    const auto error = [](const std::vector<std::string>& args) {
        const std::string output = plcinfo(args).output;
        return output.substr(0, output.find("\nSyntax"));
    };
    EXPECT_EQ(error({"--at", "30", example}), Banner + "\nError: Not a hexadecimal SEL:ADDR: 30\n");
    // A message names only the options given.
    EXPECT_EQ(error({"--find", "X", EXAMPLES_DIR}),
              Banner + "\nError: --find looks into one symbol map\n");
    EXPECT_EQ(error({"--find", "X", "--at", "30:0", example, example}),
              Banner + "\nError: --find and --at look into one symbol map\n");
    EXPECT_EQ(error({"--all", example}), Banner + "\nError: --all compares two symbol maps\n");
    EXPECT_EQ(error({"--fail-on", "layout", example}),
              Banner + "\nError: --fail-on compares two symbol maps\n");
    EXPECT_EQ(error({"--find", "A", "--find", "B", example}),
              Banner + "\nError: --find may be given once\n");
    EXPECT_EQ(error({"--at", "30:0", "--at", "30:2", example}),
              Banner + "\nError: --at may be given once\n");
    EXPECT_EQ(error({"--fail-on", "moved,", example, example}),
              Banner + "\nError: Empty change class in the list: moved,\n");
    // A path that cannot be opened is that, whatever the other one is; a map against images
    // names the paths in the order given.
    const std::string absent = EXAMPLES_DIR "/no-such-file";
    const std::vector<std::string> pairs[] = {
        {example, absent}, {absent, example}, {EXAMPLES_DIR, absent}};
    for (const std::vector<std::string>& args : pairs)
        EXPECT_EQ(error(args), Banner + "\nError: File cannot be opened: " + absent + "\n");
    EXPECT_EQ(
        error({EXAMPLES_DIR, example}),
        Banner + "\nError: A symbol map cannot be compared with images: " EXAMPLES_DIR " against " +
            example + "\n");
}

// Two generated builds that differ by one change of every class.
TEST(SymbolMapComparison, EachChangeInItsClassAndMovedRunsAsOneLine) {
    TempDir dir;
    plcgen::ListingProject project = plcgen::standardListingProject(40);
    project.structures.push_back({"TOOL_S", 4, {{"TNUM", 0, "Word"}, {"TLIFE", 2, "Word"}}});
    project.constants.push_back({"OLD_LIMIT", 9});
    const std::string before = writeMap(dir, "old.mp2", project);

    plcgen::ListingProject changed = project;
    const auto variable = [&](const char* name) {
        auto it = changed.variables.begin();
        while (it->name != name)
            ++it;
        return it;
    };
    // Inserted near the start of DATA_COM: the variables behind it move by 2.
    changed.variables.insert(variable("V000004"), {"NEW_WORD", "Word", "DATA_COM", 0});
    // Removed from DATA1 (a QWord): those behind it move back by 8.
    changed.variables.erase(variable("V000009"));
    // Retyped in DATAROZ from Byte to DWord: those behind it move by 3.
    variable("V000011")->type = "DWord";
    changed.records[0].bits[1].shift = 5;            // a bit moved: FAULT's weight
    changed.records[0].bits.push_back({"ALARM", 3}); // a bit added
    changed.records[1].bits.pop_back();              // a bit removed: KEY_HOLD
    changed.structures[0].members[1].offset = 5;     // SPEED's offset
    changed.structures[1].members.pop_back();        // TLIFE removed
    changed.structures[0].members.push_back({"LIMIT", 7, "Byte"});
    changed.constants[0].value = 3; // MAX_AXES
    changed.constants.pop_back();   // OLD_LIMIT removed
    changed.constants.push_back({"NEW_LIMIT", 12});
    plcgen::layOutVariables(changed);
    const std::string after = writeMap(dir, "new.mp2", changed);

    const std::string head =
        Banner + "\nOld symbol map: " + before + "\nNew symbol map: " + after + "\n" + Note;
    // Every segment moved or was retyped; the members changed besides.
    const std::string layouts =
        "0030 DATA_COM  layout changed    fee149536762dd1d -> 630258126c7351d7\n"
        "0068 DATA1     layout changed    7910288f83bcc56b -> bbc0b2eb26011571\n"
        "00A0 DATA_USR  layout changed    52243afa14821a52 -> 6b68b501fd76f377\n"
        "0160 DATAROZ   layout changed    c5527ffc37fcfcf0 -> cac242aa3539bd33\n\n"
        "0030 DATA_COM  fill   0.1% -> 0.1%            +0002 (0.0%)  FFD6 left\n"
        "0068 DATA1     fill   0.1% -> 0.1%            -0008 (0.0%)  FFE6 left\n"
        "00A0 DATA_USR  fill   0.1% -> 0.1%            +0000 (0.0%)  FFD8 left\n"
        "0160 DATAROZ   fill   0.1% -> 0.1%            +0003 (0.0%)  FFDB left\n"
        "\n";
    const RunResult text = plcinfo({before, after});
    EXPECT_EQ(
        text.output,
        head +
            "variable added    NEW_WORD  0030:0001 WORD\nvariable removed  V000009  0068:0002 "
            "QWORD\nvariables moved   V000004 ... V000036: 9 variables of 0030 by +0002\nvariables "
            "moved   V000013 ... V000037: 7 variables of 0068 by -0008\nvariables moved   V000015 "
            "... V000039: 7 variables of 0160 by +0003\nvariable retyped  V000011  BYTE 0160:0003 "
            "-> DWORD 0160:0003\nbit added         ALARM in V000001 weight 03\nbit removed       "
            "KEY_HOLD in V000002 weight 07\nbit moved         FAULT in V000001 weight 01 -> in "
            "V000001 weight 05\nmember added      LIMIT  0007\nmember removed    TLIFE  "
            "0002\nmember offset     SPEED  0004 -> 0005\nconstant added    NEW_LIMIT  "
            "0000000C\nconstant removed  OLD_LIMIT  00000009\nconstant value    MAX_AXES  00000002 "
            "-> 00000003\n\n" +
            layouts + StructureNote +
            "changes: variable added 1, variable removed 1, variable moved 23, "
            "variable retyped 1, bit added 1, bit removed 1, bit moved 1, member added 1, member "
            "removed 1, member offset 1, constant added 1, constant removed 1, constant value "
            "1\nOld: symbol map sound\nNew: symbol map sound\n");
    EXPECT_EQ(text.exitStatus, 0);
    EXPECT_EQ(
        plcinfo({"--all", before, after}).output,
        head +
            "variable added    NEW_WORD  0030:0001 WORD\nvariable removed  V000009  0068:0002 "
            "QWORD\nvariables moved   V000004 ... V000036: 9 variables of 0030 by +0002\n          "
            "        V000004  0030:0001 -> 0030:0003\n                  V000008  0030:0009 -> "
            "0030:000B\n                  V000012  0030:000D -> 0030:000F\n                  "
            "V000016  0030:000E -> 0030:0010\n                  V000020  0030:0016 -> 0030:0018\n  "
            "                V000024  0030:001A -> 0030:001C\n                  V000028  0030:001B "
            "-> 0030:001D\n                  V000032  0030:0023 -> 0030:0025\n                  "
            "V000036  0030:0027 -> 0030:0029\nvariables moved   V000013 ... V000037: 7 variables "
            "of 0068 by -0008\n                  V000013  0068:000A -> 0068:0002\n                 "
            " V000017  0068:000C -> 0068:0004\n                  V000021  0068:000D -> 0068:0005\n "
            "                 V000025  0068:0015 -> 0068:000D\n                  V000029  "
            "0068:0017 -> 0068:000F\n                  V000033  0068:0018 -> 0068:0010\n           "
            "       V000037  0068:0020 -> 0068:0018\nvariables moved   V000015 ... V000039: 7 "
            "variables of 0160 by +0003\n                  V000015  0160:0004 -> 0160:0007\n       "
            "           V000019  0160:000C -> 0160:000F\n                  V000023  0160:000E -> "
            "0160:0011\n                  V000027  0160:000F -> 0160:0012\n                  "
            "V000031  0160:0017 -> 0160:001A\n                  V000035  0160:0019 -> 0160:001C\n  "
            "                V000039  0160:001A -> 0160:001D\nvariable retyped  V000011  BYTE "
            "0160:0003 -> DWORD 0160:0003\nbit added         ALARM in V000001 weight 03\nbit "
            "removed       KEY_HOLD in V000002 weight 07\nbit moved         FAULT in V000001 "
            "weight 01 -> in V000001 weight 05\nmember added      LIMIT  0007\nmember removed    "
            "TLIFE  0002\nmember offset     SPEED  0004 -> 0005\nconstant added    NEW_LIMIT  "
            "0000000C\nconstant removed  OLD_LIMIT  00000009\nconstant value    MAX_AXES  00000002 "
            "-> 00000003\n\n" +
            layouts + StructureNote +
            "changes: variable added 1, variable removed 1, variable moved 23, "
            "variable retyped 1, bit added 1, bit removed 1, bit moved 1, member added 1, member "
            "removed 1, member offset 1, constant added 1, constant removed 1, constant value "
            "1\nOld: symbol map sound\nNew: symbol map sound\n");
    EXPECT_EQ(
        plcinfo({"--json", before, after}).output,
        "{\n  \"program\": \"Plcinfo\",\n  \"version\": \"" PLC_PACKAGE_VERSION
        "\",\n  \"old\": {\n    \"path\": \"" +
            json(before) +
            "\",\n    \"kind\": \"symbol map\",\n    \"findings\": [\n    ],\n    "
            "\"findingCount\": 0,\n    "
            "\"sound\": true\n  },\n  \"new\": {\n    \"path\": \"" +
            json(after) +
            "\",\n    \"kind\": \"symbol map\",\n    \"findings\": [\n    ],\n    "
            "\"findingCount\": 0,\n    "
            "\"sound\": true\n  },\n  \"changes\": [\n  "
            "  {\"class\": \"variable-added\", \"name\": \"NEW_WORD\", \"old\": null, \"new\": "
            "{\"selector\": 48, \"address\": 1, \"type\": \"WORD\"}},\n    {\"class\": "
            "\"variable-removed\", \"name\": \"V000009\", \"old\": {\"selector\": 104, "
            "\"address\": 2, \"type\": \"QWORD\"}, \"new\": null},\n    {\"class\": "
            "\"variable-moved\", \"run\": {\"first\": \"V000004\", \"last\": \"V000036\", "
            "\"count\": 9, \"selector\": 48, \"distance\": 2}},\n    {\"class\": "
            "\"variable-moved\", \"run\": {\"first\": \"V000013\", \"last\": \"V000037\", "
            "\"count\": 7, \"selector\": 104, \"distance\": -8}},\n    {\"class\": "
            "\"variable-moved\", \"run\": {\"first\": \"V000015\", \"last\": \"V000039\", "
            "\"count\": 7, \"selector\": 352, \"distance\": 3}},\n    {\"class\": "
            "\"variable-retyped\", \"name\": \"V000011\", \"old\": {\"selector\": 352, "
            "\"address\": 3, \"type\": \"BYTE\"}, \"new\": {\"selector\": 352, \"address\": 3, "
            "\"type\": \"DWORD\"}},\n    {\"class\": \"bit-added\", \"name\": \"ALARM\", \"old\": "
            "null, \"new\": {\"variable\": \"V000001\", \"weight\": 3}},\n    {\"class\": "
            "\"bit-removed\", \"name\": \"KEY_HOLD\", \"old\": {\"variable\": \"V000002\", "
            "\"weight\": 7}, \"new\": null},\n    {\"class\": \"bit-moved\", \"name\": \"FAULT\", "
            "\"old\": {\"variable\": \"V000001\", \"weight\": 1}, \"new\": {\"variable\": "
            "\"V000001\", \"weight\": 5}},\n    {\"class\": \"member-added\", \"name\": \"LIMIT\", "
            "\"old\": null, \"new\": {\"offset\": 7}},\n    {\"class\": \"member-removed\", "
            "\"name\": \"TLIFE\", \"old\": {\"offset\": 2}, \"new\": null},\n    {\"class\": "
            "\"member-offset\", \"name\": \"SPEED\", \"old\": {\"offset\": 4}, \"new\": "
            "{\"offset\": 5}},\n    {\"class\": \"constant-added\", \"name\": \"NEW_LIMIT\", "
            "\"old\": null, \"new\": {\"value\": 12}},\n    {\"class\": \"constant-removed\", "
            "\"name\": \"OLD_LIMIT\", \"old\": {\"value\": 9}, \"new\": null},\n    {\"class\": "
            "\"constant-value\", \"name\": \"MAX_AXES\", \"old\": {\"value\": 2}, \"new\": "
            "{\"value\": 3}}\n  ],\n  \"renamed\": [\n  ],\n  \"counts\": {\"variable-added\": 1, "
            "\"variable-removed\": 1, \"variable-moved\": 23, \"variable-retyped\": 1, "
            "\"variable-room\": 0, \"bit-added\": 1, \"bit-removed\": 1, \"bit-moved\": 1, "
            "\"member-added\": 1, \"member-removed\": 1, \"member-offset\": 1, "
            "\"constant-added\": 1, \"constant-removed\": 1, \"constant-value\": 1},\n  "
            "\"changed\": 35,\n  \"structureChangesUnseen\": true,\n  \"layouts\": [\n"
            "    {\"selector\": 48, \"segment\": \"DATA_COM\", \"old\": \"fee149536762dd1d\", "
            "\"new\": \"630258126c7351d7\", \"changed\": true},\n"
            "    {\"selector\": 104, \"segment\": \"DATA1\", \"old\": \"7910288f83bcc56b\", "
            "\"new\": \"bbc0b2eb26011571\", \"changed\": true},\n"
            "    {\"selector\": 160, \"segment\": \"DATA_USR\", \"old\": \"52243afa14821a52\", "
            "\"new\": \"6b68b501fd76f377\", \"changed\": true},\n"
            "    {\"selector\": 352, \"segment\": \"DATAROZ\", \"old\": \"c5527ffc37fcfcf0\", "
            "\"new\": \"cac242aa3539bd33\", \"changed\": true}\n"
            "  ],\n  \"fills\": [\n"
            "    {\"selector\": 48, \"segment\": \"DATA_COM\", \"old\": {\"end\": 40, \"left\": "
            "65496, \"fill\": 0.1}, "
            "\"new\": {\"end\": 42, \"left\": 65494, \"fill\": 0.1}, \"endChange\": 2, "
            "\"fillChange\": 0.0},\n"
            "    {\"selector\": 104, \"segment\": \"DATA1\", \"old\": {\"end\": 34, \"left\": "
            "65502, \"fill\": 0.1}, "
            "\"new\": {\"end\": 26, \"left\": 65510, \"fill\": 0.1}, \"endChange\": -8, "
            "\"fillChange\": 0.0},\n"
            "    {\"selector\": 160, \"segment\": \"DATA_USR\", \"old\": {\"end\": 40, \"left\": "
            "65496, \"fill\": 0.1}, "
            "\"new\": {\"end\": 40, \"left\": 65496, \"fill\": 0.1}, \"endChange\": 0, "
            "\"fillChange\": 0.0},\n"
            "    {\"selector\": 352, \"segment\": \"DATAROZ\", \"old\": {\"end\": 34, \"left\": "
            "65502, \"fill\": 0.1}, "
            "\"new\": {\"end\": 37, \"left\": 65499, \"fill\": 0.1}, \"endChange\": 3, "
            "\"fillChange\": 0.0}\n"
            "  ],\n  \"failOn\": [],\n  "
            "\"tripped\": []\n}\n");
    const RunResult tripped = plcinfo({"--fail-on", "moved,room", before, after});
    EXPECT_EQ(tripped.output.substr(tripped.output.rfind("Old: ")),
              "Old: symbol map sound\nNew: symbol map sound\nStopped by --fail-on: "
              "variable-moved, bit-moved\n");
    EXPECT_EQ(tripped.exitStatus, 2);

    // A map against itself; only a constant changed: --fail-on moved passes.
    const RunResult same = plcinfo({"--fail-on", "moved,removed,retyped", before, before});
    EXPECT_EQ(same.output,
              Banner + "\nOld symbol map: " + before + "\nNew symbol map: " + before + "\n" + Note +
                  "0030 DATA_COM  layout unchanged  fee149536762dd1d\n"
                  "0068 DATA1     layout unchanged  7910288f83bcc56b\n"
                  "00A0 DATA_USR  layout unchanged  52243afa14821a52\n"
                  "0160 DATAROZ   layout unchanged  c5527ffc37fcfcf0\n\n"
                  "0030 DATA_COM  fill   0.1% -> 0.1%            +0000 (0.0%)  FFD8 left\n"
                  "0068 DATA1     fill   0.1% -> 0.1%            +0000 (0.0%)  FFDE left\n"
                  "00A0 DATA_USR  fill   0.1% -> 0.1%            +0000 (0.0%)  FFD8 left\n"
                  "0160 DATAROZ   fill   0.1% -> 0.1%            +0000 (0.0%)  FFDE left\n"
                  "\n" +
                  StructureNote + "no change\nOld: symbol map sound\nNew: symbol map sound\n");
    EXPECT_EQ(same.exitStatus, 0);
    plcgen::ListingProject constant = project;
    constant.constants[0].value = 7;
    const std::string constantOnly = writeMap(dir, "constant.mp2", constant);
    EXPECT_EQ(plcinfo({"--fail-on", "moved", before, constantOnly}).exitStatus, 0);
    EXPECT_EQ(plcinfo({"--fail-on", "value", before, constantOnly}).exitStatus, 2);
    // Wrong uses: an unknown class, a map against images, a map with findings.
    const RunResult unknown = plcinfo({"--fail-on", "moved,shifted", before, after});
    EXPECT_EQ(unknown.output.substr(0, Banner.size() + 93),
              Banner + "\nError: Unknown change class: shifted\n\nSyntax: Plcinfo [FORM] (images "
                       "folder or joined file)\n");
    EXPECT_EQ(unknown.exitStatus, testsupport::FailureStatus);
    const RunResult images = plcinfo({before, EXAMPLES_DIR});
    EXPECT_EQ(images.output, Banner + "\nError: A symbol map cannot be compared with images: " +
                                 before + " against " EXAMPLES_DIR "\n");
    EXPECT_EQ(images.exitStatus, testsupport::FailureStatus);
    std::vector<std::string> lines = mapLines(after);
    lines.pop_back();
    writeLines(after, lines);
    const RunResult bad = plcinfo({before, after});
    EXPECT_EQ(
        bad.output.substr(bad.output.rfind("changes:")),
        "changes: variable added 1, variable removed 1, variable moved 23, variable retyped 1, "
        "bit added 1, bit removed 1, bit moved 1, member added 1, member removed 1, member offset "
        "1, constant added 1, constant removed 2, constant value 1\nOld: symbol map sound\nNew: 1 "
        "finding\n");
    EXPECT_EQ(bad.exitStatus, 1);
}

// What a retained-data guard needs beyond the classes: a structure that grew shows as the room
// of its variables that kept their place, a variable under a new name at the same place as a
// possible rename, and a run of moves ends at a variable between that is not of it.
TEST(SymbolMapComparison, GuardSeesRoomRenamesAndEndsRunsAtOtherVariables) {
    TempDir dir;
    const plcgen::ListingProject project = plcgen::standardListingProject(24);
    const std::string before = writeMap(dir, "old.mp2", project);
    plcgen::ListingProject changed = project;
    changed.structures[0].size = 12; // AXIS_S grows by a member
    changed.structures[0].members.push_back({"LIMIT", 8, "DWord"});
    changed.variables[7].name = "SPEED_SET"; // DATAROZ, same place and type
    // DATA1: a word in front, V000005 gone and another byte in its place behind it.
    changed.variables[5].name = "V_OTHER";
    changed.variables.insert(changed.variables.begin(), {"W_NEW", "Word", "DATA1", 0});
    plcgen::layOutVariables(changed);
    const std::string after = writeMap(dir, "new.mp2", changed);

    const RunResult run = plcinfo({"--fail-on", "room,retyped", before, after});
    EXPECT_EQ(run.output,
              Banner + "\nOld symbol map: " + before + "\nNew symbol map: " + after + "\n" + Note +
                  "variable added    SPEED_SET  0160:0001 WORD\n"
                  "variable added    V_OTHER  0068:0003 BYTE\n"
                  "variable added    W_NEW  0068:0000 WORD\n"
                  "variable removed  V000005  0068:0001 BYTE\n"
                  "variable removed  V000007  0160:0001 WORD\n"
                  "variables moved   V000008 ... V000016: 3 variables of 0030 by +0004\n"
                  "variable moved    V000020  0030:0016 -> 0030:001E\n"
                  "variable moved    V000001  0068:0000 -> 0068:0002\n"
                  "variables moved   V000009 ... V000021: 4 variables of 0068 by +0002\n"
                  "variables moved   V000014 ... V000022: 3 variables of 00A0 by +0004\n"
                  "room changed      V000004  0030:0001 BYTE  0008 -> 000C bytes to V000008\n"
                  "room changed      V000010  00A0:0002 BYTE  0008 -> 000C bytes to V000014\n"
                  "member added      LIMIT  0008\n\n"
                  "possibly renamed V000007 -> SPEED_SET  0160:0001 WORD\n\n"
                  "0030 DATA_COM  layout changed    cbf01dec798ba32f -> 1d980e908c02be7a\n"
                  "0068 DATA1     layout changed    5bd281b423b16c18 -> f5fc3d8737a816dd\n"
                  "00A0 DATA_USR  layout changed    3a339e75ca9a8e9f -> 4170c4f1626fd745\n"
                  "0160 DATAROZ   layout changed    42d26f12d065dc62 -> 2ec2ff668eab7ef6\n\n"
                  "0030 DATA_COM  fill   0.1% -> 0.1%            +0008 (0.0%)  FFDE left\n"
                  "0068 DATA1     fill   0.1% -> 0.1%            +0002 (0.0%)  FFE9 left\n"
                  "00A0 DATA_USR  fill   0.1% -> 0.1%            +0004 (0.0%)  FFEC left\n"
                  "0160 DATAROZ   fill   0.1% -> 0.1%            +0000 (0.0%)  FFF1 left\n"
                  "\n" +
                  StructureNote +
                  "changes: variable added 3, variable removed 2, variable moved 12, room changed "
                  "2, member added 1\nOld: symbol map sound\nNew: symbol map sound\n"
                  "Stopped by --fail-on: variable-room\n");
    EXPECT_EQ(run.exitStatus, 2);
    const std::string json = plcinfo({"--json", "--fail-on", "room,retyped", before, after}).output;
    EXPECT_EQ(
        json.substr(json.find("    {\"class\": \"variable-room\"")),
        "    {\"class\": \"variable-room\", \"name\": \"V000004\", \"next\": \"V000008\", "
        "\"old\": {\"selector\": 48, \"address\": 1, \"type\": \"BYTE\", \"room\": 8}, "
        "\"new\": {\"selector\": 48, \"address\": 1, \"type\": \"BYTE\", \"room\": 12}},\n"
        "    {\"class\": \"variable-room\", \"name\": \"V000010\", \"next\": \"V000014\", "
        "\"old\": {\"selector\": 160, \"address\": 2, \"type\": \"BYTE\", \"room\": 8}, "
        "\"new\": {\"selector\": 160, \"address\": 2, \"type\": \"BYTE\", \"room\": 12}},\n"
        "    {\"class\": \"member-added\", \"name\": \"LIMIT\", \"old\": null, \"new\": "
        "{\"offset\": 8}}\n  ],\n  \"renamed\": [\n    {\"old\": \"V000007\", \"new\": "
        "\"SPEED_SET\", \"selector\": 352, \"address\": 1, \"type\": \"WORD\"}\n  ],\n  "
        "\"counts\": {\"variable-added\": 3, \"variable-removed\": 2, \"variable-moved\": 12, "
        "\"variable-retyped\": 0, \"variable-room\": 2, \"bit-added\": 0, \"bit-removed\": 0, "
        "\"bit-moved\": 0, \"member-added\": 1, \"member-removed\": 0, \"member-offset\": 0, "
        "\"constant-added\": 0, \"constant-removed\": 0, \"constant-value\": 0},\n  "
        "\"changed\": 20,\n  \"structureChangesUnseen\": true,\n  \"layouts\": [\n"
        "    {\"selector\": 48, \"segment\": \"DATA_COM\", \"old\": \"cbf01dec798ba32f\", "
        "\"new\": \"1d980e908c02be7a\", \"changed\": true},\n"
        "    {\"selector\": 104, \"segment\": \"DATA1\", \"old\": \"5bd281b423b16c18\", "
        "\"new\": \"f5fc3d8737a816dd\", \"changed\": true},\n"
        "    {\"selector\": 160, \"segment\": \"DATA_USR\", \"old\": \"3a339e75ca9a8e9f\", "
        "\"new\": \"4170c4f1626fd745\", \"changed\": true},\n"
        "    {\"selector\": 352, \"segment\": \"DATAROZ\", \"old\": \"42d26f12d065dc62\", "
        "\"new\": \"2ec2ff668eab7ef6\", \"changed\": true}\n"
        "  ],\n  \"fills\": [\n"
        "    {\"selector\": 48, \"segment\": \"DATA_COM\", \"old\": {\"end\": 26, \"left\": 65510, "
        "\"fill\": 0.1}, "
        "\"new\": {\"end\": 34, \"left\": 65502, \"fill\": 0.1}, \"endChange\": 8, \"fillChange\": "
        "0.0},\n"
        "    {\"selector\": 104, \"segment\": \"DATA1\", \"old\": {\"end\": 21, \"left\": 65515, "
        "\"fill\": 0.1}, "
        "\"new\": {\"end\": 23, \"left\": 65513, \"fill\": 0.1}, \"endChange\": 2, \"fillChange\": "
        "0.0},\n"
        "    {\"selector\": 160, \"segment\": \"DATA_USR\", \"old\": {\"end\": 16, \"left\": "
        "65520, \"fill\": 0.1}, "
        "\"new\": {\"end\": 20, \"left\": 65516, \"fill\": 0.1}, \"endChange\": 4, \"fillChange\": "
        "0.0},\n"
        "    {\"selector\": 352, \"segment\": \"DATAROZ\", \"old\": {\"end\": 15, \"left\": 65521, "
        "\"fill\": 0.1}, "
        "\"new\": {\"end\": 15, \"left\": 65521, \"fill\": 0.1}, \"endChange\": 0, \"fillChange\": "
        "0.0}\n"
        "  ],\n  \"failOn\": "
        "[\"variable-retyped\", \"variable-room\"],\n  \"tripped\": [\"variable-room\"]\n}\n");
    // Findings outweigh the guard: a map with findings exits 1 whatever changed.
    std::vector<std::string> lines = mapLines(after);
    lines.back() += " ";
    writeLines(after, lines);
    EXPECT_EQ(plcinfo({"--fail-on", "room", before, after}).exitStatus, 1);
}

// The guard the guide recommends: two structure members swapped leave every address as it was
// but read each structure variable's retained data from the wrong place, so `layout` trips on
// them; a damaged new map fails the guard with its findings listed.
TEST(SymbolMapComparison, LayoutGuardTripsOnSwappedMembersAndListsFindings) {
    TempDir dir;
    const plcgen::ListingProject project = plcgen::standardListingProject(8);
    const std::string before = writeMap(dir, "old.mp2", project);
    plcgen::ListingProject swapped = project;
    std::vector<plcgen::ListingMember>& members = swapped.structures[0].members;
    std::swap(members[0].offset, members[1].offset);
    const std::string after = writeMap(dir, "new.mp2", swapped);
    const std::string head =
        Banner + "\nOld symbol map: " + before + "\nNew symbol map: " + after + "\n" + Note;
    const std::string tail =
        "member offset     POS  0000 -> 0004\n"
        "member offset     SPEED  0004 -> 0000\n\n"
        "0030 DATA_COM  layout changed    184aa8c88682fca9 -> b8add38736e18262\n"
        "0068 DATA1     layout changed    a39433c09a2673f9 -> d11e7a953bf771f0\n"
        "00A0 DATA_USR  layout changed    69c8d718c676452b -> f76f4bed9cc92fe1\n"
        "0160 DATAROZ   layout changed    b6ef61913ababed6 -> d98ac88c652a8187\n\n"
        "0030 DATA_COM  fill   0.1% -> 0.1%            +0000 (0.0%)  FFFE left\n"
        "0068 DATA1     fill   0.1% -> 0.1%            +0000 (0.0%)  FFFE left\n"
        "00A0 DATA_USR  fill   0.1% -> 0.1%            +0000 (0.0%)  FFFE left\n"
        "0160 DATAROZ   fill   0.1% -> 0.1%            +0000 (0.0%)  FFFD left\n"
        "\n" +
        StructureNote + "changes: member offset 2\nOld: symbol map sound\n";
    const RunResult run = plcinfo({"--fail-on", "layout", before, after});
    EXPECT_EQ(run.output,
              head + tail + "New: symbol map sound\nStopped by --fail-on: member-offset\n");
    EXPECT_EQ(run.exitStatus, 2);

    std::vector<std::string> lines = mapLines(after);
    lines[2] = "[SYMBOL_TABLE 9]";
    writeLines(after, lines);
    const RunResult damaged = plcinfo({"--fail-on", "layout", before, after});
    EXPECT_EQ(damaged.output, head +
                                  "new line 3: [SYMBOL_TABLE 9] says 9 rows, the section has "
                                  "8\n\n" +
                                  tail + "New: 1 finding\nStopped by --fail-on: member-offset\n");
    EXPECT_EQ(damaged.exitStatus, 1);
}

// One comparison fed to all four reports: the text, the JSON, the Markdown and the page name the
// same tripped classes and verdict, the same count of each class and the same runs of moves.
TEST(SymbolMapComparison, EveryReportFormatsTheSameComparison) {
    TempDir dir;
    const plcgen::ListingProject project = plcgen::standardListingProject(24);
    plcgen::ListingProject changed = project;
    changed.structures[0].size = 12; // room changes
    changed.variables[7].name = "SPEED_SET";
    changed.variables.insert(changed.variables.begin(), {"W_NEW", "Word", "DATA1", 0});
    plcgen::layOutVariables(changed);
    plcinfo::SymbolMap before;
    plcinfo::SymbolMap after;
    std::string error;
    ASSERT_TRUE(plcinfo::readSymbolMap(writeMap(dir, "old.mp2", project), before, error));
    ASSERT_TRUE(plcinfo::readSymbolMap(writeMap(dir, "new.mp2", changed), after, error));
    const auto count = [](const std::string& text, const std::string& part) {
        std::size_t found = 0;
        for (std::size_t at = text.find(part); at != std::string::npos;
             at = text.find(part, at + 1))
            ++found;
        return found;
    };
    // A guard that trips on two of its three classes, and one that passes.
    for (const char* guard : {"moved,room,retyped", "retyped"}) {
        bool failOn[plcinfo::ChangeClassCount] = {};
        ASSERT_TRUE(plcinfo::parseClassList(guard, failOn, error));
        const plcinfo::MapComparison c = plcinfo::compareMaps(before, after, false, failOn);
        const std::string text = plcinfo::formatComparisonMapText(c);
        std::string json;
        ASSERT_TRUE(plcinfo::formatComparisonMapJson(c, json));
        const std::string markdown = plcinfo::formatComparisonMapMarkdown(c);
        const std::string page = plcinfo::formatComparisonMapHtml(c);
        const bool tripped = c.verdict == plcinfo::GuardVerdict::Tripped;
        const std::string keys = tripped ? "variable-moved, variable-room" : "";
        EXPECT_EQ(plcinfo::stopReasons(c, ""), tripped ? "--fail-on: " + keys : "");
        EXPECT_EQ(count(text, "Stopped by --fail-on: " + keys + "\n"), tripped ? 1u : 0u);
        EXPECT_EQ(count(markdown, "**Stopped by --fail-on: `variable-moved`, `variable-room`**"),
                  tripped ? 1u : 0u);
        EXPECT_EQ(count(markdown + page, "The guard passes"), tripped ? 0u : 2u);
        EXPECT_EQ(count(page, "id=\"verdict\">Stopped by --fail-on: " + keys + "<br>"),
                  tripped ? 1u : 0u);
        EXPECT_EQ(count(json, tripped ? "\"tripped\": [\"variable-moved\", \"variable-room\"]"
                                      : "\"tripped\": []"),
                  1u);
        EXPECT_EQ(count(json, "\"changed\": " + std::to_string(c.changed) + ","), 1u);
        std::size_t classes = 0;
        for (int kind = 0; kind < plcinfo::ChangeClassCount; ++kind) {
            const std::string n = std::to_string(c.counts[kind]);
            const std::string key = plcinfo::ChangeClassNames[kind].key;
            const bool shown = c.counts[kind] != 0;
            classes += shown ? 1 : 0;
            EXPECT_EQ(count(json, "\"" + key + "\": " + n), 1u) << key;
            EXPECT_EQ(count(text, plcinfo::ChangeClassNames[kind].label + (" " + n)),
                      shown ? 1u : 0u)
                << key;
            EXPECT_EQ(count(markdown, "| `" + key + "` | " + n + " |"), shown ? 1u : 0u) << key;
            EXPECT_EQ(count(page, "<code>" + key + "</code></td><td class=\"n\">" + n + "<"),
                      shown ? 1u : 0u)
                << key;
        }
        EXPECT_EQ(classes, 4u);
        // Each segment's layout verdict, the same in every report.
        std::string verdicts;
        for (const plcinfo::LayoutVerdict& v : c.layouts) {
            const std::string segment = plcinfo::hexDigits(v.selector, 4) + " " + v.name;
            const std::string word = plcinfo::layoutWord(v);
            verdicts += word.substr(7, 2);
            EXPECT_EQ(count(text, plcinfo::layoutLine(v)), 1u) << segment;
            EXPECT_EQ(count(markdown, "| " + segment + " | " +
                                          (v.changed ? "**" + word + "**" : word) + " | `" +
                                          plcinfo::layoutValues(v) + "` |"),
                      1u)
                << segment;
            EXPECT_EQ(count(page, "<td>" + segment + "</td><td" +
                                      (v.changed ? " class=\"bad\"" : "") + ">" + word + "</td>"),
                      1u)
                << segment;
            EXPECT_EQ(count(json, "\"segment\": \"" + std::string(v.name) + "\", \"old\": \"" +
                                      v.before + "\", \"new\": \"" + v.after +
                                      "\", \"changed\": " + (v.changed ? "true" : "false")),
                      1u)
                << segment;
        }
        EXPECT_EQ(verdicts, "chchchch");
        ASSERT_EQ(c.runs.size(), 3u);
        EXPECT_EQ(count(text, "variables moved   "), c.runs.size());
        EXPECT_EQ(count(json, "\"run\": {"), c.runs.size());
        EXPECT_EQ(count(markdown, "- variables moved: "), c.runs.size());
        for (const plcinfo::MoveRun& run : c.runs) {
            const std::string line = plcinfo::runText(c, run);
            const std::string first(
                rowName(before, before.rows[plcinfo::SectionSymbols][run.firstRow]));
            const std::string last(
                rowName(before, before.rows[plcinfo::SectionSymbols][run.lastRow]));
            EXPECT_EQ(count(text, "variables moved   " + line + "\n"), 1u) << line;
            EXPECT_EQ(count(markdown, "- " + line + "\n"), 1u) << line;
            EXPECT_EQ(count(page, "<title>" + line + "</title>"), 1u) << line;
            EXPECT_EQ(count(json, "{\"first\": \"" + first + "\", \"last\": \"" + last +
                                      "\", \"count\": " + std::to_string(run.count) +
                                      ", \"selector\": " + std::to_string(run.selector) +
                                      ", \"distance\": " + std::to_string(run.distance) + "}"),
                      1u)
                << line;
        }
    }
}

// The release record of the example map: stable across row order and letter case, one line
// changed by a move or retype in its segment, every line by a member's offset; --expect
// passes on the record of the same build and stops on a move, naming the segment.
TEST(SymbolMapLayout, FingerprintRecordAndExpect) {
    const std::string example = EXAMPLES_DIR "/plc.mp2";
    const std::string record = "0030 DATA_COM 122cbc34413c05f2\n"
                               "0068 DATA1 1b255fed8873e8d6\n"
                               "00A0 DATA_USR 60c2fce4ddd32eca\n"
                               "0160 DATAROZ 8c094d54719c25d8\n";
    for (int run = 0; run < 2; ++run) {
        const RunResult printed = plcinfo({"--fingerprint", example});
        EXPECT_EQ(printed.output, record);
        EXPECT_EQ(printed.exitStatus, 0);
    }
    TempDir dir;
    const std::vector<std::string> lines = mapLines(example);
    // Each edit: the row that holds `row`, `from` replaced by `to`.
    const auto edited = [&](const std::string& name, const std::string& row,
                            const std::string& from, const std::string& to) {
        std::vector<std::string> copy = lines;
        for (std::string& line : copy)
            if (line.find(row) != std::string::npos)
                line.replace(line.find(from), from.size(), to);
        writeLines(dir.file(name), copy);
        return plcinfo({"--fingerprint", dir.file(name)}).output;
    };
    // The symbol table and member rows reversed, a name in small letters.
    std::vector<std::string> reordered = lines;
    std::reverse(reordered.begin() + 4, reordered.begin() + 18);
    std::reverse(reordered.begin() + 30, reordered.begin() + 37);
    for (std::size_t i = 24; i < reordered[5].size(); ++i)
        reordered[5][i] = static_cast<char>(std::tolower(reordered[5][i]));
    writeLines(dir.file("reordered.mp2"), reordered);
    EXPECT_EQ(plcinfo({"--fingerprint", dir.file("reordered.mp2")}).output, record);
    const auto changedLines = [&](const std::string& other) {
        std::string selectors;
        for (std::size_t at = 0; at < record.size(); at = record.find('\n', at) + 1)
            if (other.find(record.substr(at, record.find('\n', at) - at + 1)) == std::string::npos)
                selectors += record.substr(at, 4) + " ";
        return selectors;
    };
    EXPECT_EQ(changedLines(edited("moved.mp2", "TIMER_MS", "0002H", "0003H")), "0068 ");
    EXPECT_EQ(changedLines(edited("retyped.mp2", "ERROR_CODE", "WORD ", "BYTE ")), "0030 ");
    EXPECT_EQ(changedLines(edited("member.mp2", "TLIFE", "0002", "0003")), "0030 0068 00A0 0160 ");

    writeFile(dir.file("record.txt"), record);
    const std::string check = Banner + "\nSymbol map: " + example +
                              "\nLayout record: " + dir.file("record.txt") +
                              "\n\n"
                              "0030 DATA_COM  layout unchanged  122cbc34413c05f2\n"
                              "0068 DATA1     layout unchanged  1b255fed8873e8d6\n"
                              "00A0 DATA_USR  layout unchanged  60c2fce4ddd32eca\n"
                              "0160 DATAROZ   layout unchanged  8c094d54719c25d8\n"
                              "\nsymbol map sound\nlayout as recorded\n";
    const RunResult same = plcinfo({"--expect", dir.file("record.txt"), example});
    EXPECT_EQ(same.output, check);
    EXPECT_EQ(same.exitStatus, 0);
    const std::string moved = edited("moved.mp2", "TIMER_MS", "0002H", "0003H");
    const RunResult stopped = plcinfo({"--expect", dir.file("record.txt"), dir.file("moved.mp2")});
    EXPECT_EQ(stopped.output, Banner + "\nSymbol map: " + dir.file("moved.mp2") +
                                  "\nLayout record: " + dir.file("record.txt") +
                                  "\n\n"
                                  "0030 DATA_COM  layout unchanged  122cbc34413c05f2\n"
                                  "0068 DATA1     layout changed    1b255fed8873e8d6 -> " +
                                  moved.substr(42, 16) +
                                  "\n"
                                  "00A0 DATA_USR  layout unchanged  60c2fce4ddd32eca\n"
                                  "0160 DATAROZ   layout unchanged  8c094d54719c25d8\n"
                                  "\nsymbol map sound\nStopped by --expect: 0068 DATA1\n");
    EXPECT_EQ(stopped.exitStatus, 2);
    writeFile(dir.file("bad.txt"), record + "0030 DATA_COM 0000\n");
    const RunResult bad = plcinfo({"--expect", dir.file("bad.txt"), example});
    EXPECT_EQ(bad.output, Banner + "\nError: Not a layout record: " + dir.file("bad.txt") +
                              ": line 5 is not \"SELECTOR NAME FINGERPRINT\" of a new selector\n");
    EXPECT_EQ(bad.exitStatus, testsupport::FailureStatus);
}

// Four builds, each adding a word to DATA1 4 KiB above the last, in a folder whose names sort
// as numbers (b9 before b10): DATA1's fill rises and its fingerprint alone changes; --max-fill
// stops on the newest build, findings in any build end the run with 1.
TEST(SymbolMapHistory, BuildsInNaturalOrderWithFillsFingerprintsAndChanges) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("builds"));
    plcgen::ListingProject project = plcgen::standardListingProject(24);
    std::vector<std::string> paths; // oldest first
    for (const char* name : {"b1.mp2", "b2.mp2", "b9.mp2", "b10.mp2"}) {
        project.variables.push_back({"GROW" + std::to_string(paths.size()), "Word", "DATA1",
                                     static_cast<std::uint32_t>(0x1000 * (paths.size() + 1))});
        paths.push_back(writeMap(dir, std::string("builds/") + name, project));
    }
    plcinfo::MapHistory history;
    std::string error;
    ASSERT_TRUE(plcinfo::readHistory(paths, {}, history, error)) << error;
    ASSERT_EQ(history.builds.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) {
        const plcinfo::BuildRecord& build = history.builds[i];
        const plcinfo::BuildRecord& before = history.builds[i - 1];
        EXPECT_EQ(build.counts[plcinfo::VariableAdded], 1u);
        EXPECT_EQ(build.changed, 1u);
        EXPECT_GT(plcinfo::fillOf(build, 0x68)->tenths, plcinfo::fillOf(before, 0x68)->tenths);
        ASSERT_EQ(build.fingerprints.size(), 4u);
        for (std::size_t s = 0; s < 4; ++s)
            EXPECT_EQ(build.fingerprints[s].digits == before.fingerprints[s].digits,
                      build.fingerprints[s].selector != 0x68);
    }

    const RunResult run = plcinfo({"--max-fill", "DATA1=20", "--history", dir.file("builds/")});
    const std::string rows[] = {
        "    1         25           0.1%        6.3%           0.1%          0.1%  ",
        "    2         26           0.1%       12.6%           0.1%          0.1%  ",
        "    3         27           0.1%       18.8%           0.1%          0.1%  ",
        "    4         28           0.1%  25.1% OVER           0.1%          0.1%  "};
    std::string table;
    for (std::size_t i = 0; i < 4; ++i)
        table += rows[i] + paths[i] + "\n";
    const std::string added = "variable added 1; layout changed: 0068 DATA1\n";
    EXPECT_EQ(run.output,
              Banner +
                  "\nSymbol maps of 4 builds, oldest first\n"
                  "Fill: where a data segment's highest variable ends, as a share of "
                  "its 64 KiB.\n\n"
                  "Build  Variables  0030 DATA_COM  0068 DATA1  00A0 DATA_USR  0160 "
                  "DATAROZ  Symbol map\n" +
                  table + "\nBuild  Changes against the build before\n    1  first build\n    2  " +
                  added + "    3  " + added + "    4  " + added +
                  "\nBudgets (--max-fill): 0068 DATA1 20.0%\n\n4 symbol maps sound\n"
                  "Stopped by --max-fill in the newest build: 0068 DATA1 25.1% > 20.0%\n");
    EXPECT_EQ(run.exitStatus, 2);
    // The same facts as JSON, one build a line in order; within its budget the run passes.
    const RunResult document =
        plcinfo({"--json", "--max-fill", "30", "--history", paths[0], paths[3]});
    EXPECT_EQ(document.exitStatus, 0);
    EXPECT_NE(document.output.find("\"builds\": [\n    {\"build\": 1, \"path\": \"" +
                                   json(paths[0]) +
                                   "\", \"findingCount\": 0, \"sound\": true, \"variables\": 25, "
                                   "\"segments\": [{\"selector\": 48, \"segment\": \"DATA_COM\", "),
              std::string::npos)
        << document.output;
    EXPECT_NE(
        document.output.find("\"layoutChanged\": [104], \"changes\": {\"variable-added\": 3}, "
                             "\"changed\": 3}\n  ],\n  "
                             "\"unsound\": 0,\n  \"sound\": true,\n  \"overBudget\": false\n}\n"),
        std::string::npos)
        << document.output;

    // A build with findings ends the run with 1, over its budget or not.
    std::vector<std::string> lines = mapLines(paths[1]);
    lines.push_back("junk");
    writeLines(paths[1], lines);
    EXPECT_EQ(plcinfo({"--max-fill", "DATA1=20", "--history", dir.file("builds")}).exitStatus, 1);
    // What --history does not take.
    std::filesystem::create_directory(dir.file("empty"));
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{"--history", dir.file("empty")},
         "No symbol map (.mp2) in the folder: " + dir.file("empty")},
        {{"--history", paths[0], dir.file("builds")},
         "--history reads symbol maps, not: " + dir.file("builds")},
        {{"--fail-on", "layout", "--history", paths[0]},
         "--history takes no --find, --at, --all, --fail-on, --images, --fingerprint or --expect"}};
    for (const auto& [args, message] : wrong) {
        const RunResult failed = plcinfo(args);
        EXPECT_EQ(failed.output, Banner + "\nError: " + message + "\n");
        EXPECT_EQ(failed.exitStatus, testsupport::FailureStatus);
    }
    // A map in front of --history would pass for another build: refused with the usage.
    const RunResult before = plcinfo({paths[0], "--history", paths[1]});
    EXPECT_EQ(before.output.substr(0, before.output.find("\nSyntax:")),
              Banner + "\nError: --history takes the symbol maps that follow it, not: " + paths[0] +
                  "\n");
    EXPECT_EQ(before.exitStatus, testsupport::FailureStatus);
}

} // namespace
