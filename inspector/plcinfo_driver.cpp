// Driver of the inspector: banner, options, one path or two (image sets or symbol maps), the
// report and the exit status.
#include "plcinfo_driver.h"
#include "common/html_writer.h"
#include "common/json_writer.h"
#include "images/image_set.h"
#include "maps/map_comparison.h"
#include "maps/map_history.h"

#include <algorithm>

#include <cstdio>
#include <cstring>

namespace plcinfo {

namespace {

const char Banner[] =
    "\nPLC-Bin inspector for Zelvar        Version " PLC_PACKAGE_VERSION "   PLC image inspector\n";
const char Usage[] =
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

// What -h or --help prints after the syntax.
const char HelpMore[] =
    "\nExit status: 0 when every image is valid, or the symbol map is sound (for two\n"
    "paths: on both sides, whatever differs); 1 when an image is missing, cut short or\n"
    "fails a check, or a symbol map has findings; 2 when both maps are sound and\n"
    "--fail-on meets a change of its classes, --max-fill a segment over its budget or\n"
    "--expect a segment whose layout differs from the record; 255 (on Windows -1) on a wrong "
    "argument or\n"
    "a file that cannot be read.\n"
    "\n"
    "Examples:\n"
    "  Plcinfo out/images/KORVEX.PLC\n"
    "  Plcinfo --fail-on layout released/plc.mp2 out/plc.mp2\n"
    "  Plcinfo --max-fill 90 --max-fill DATA1=75 out/plc.mp2\n"
    "  Plcinfo --html build.html --images out/images out/plc.mp2\n"
    "  Plcinfo --fingerprint out/plc.mp2\n"
    "  Plcinfo --max-fill 90 --html trend.html --history released/\n";

struct Options {
    bool json = false;
    bool markdown = false;
    bool html = false;
    std::string htmlPath;
    std::string images[2];
    int imageCount = 0;
    bool help = false;
    bool version = false;
    std::string paths[2];
    int pathCount = 0;
    bool find = false;
    std::string pattern;
    bool at = false;
    std::uint16_t atSelector = 0;
    std::uint32_t atAddress = 0;
    bool all = false;
    bool failOn = false;
    bool failClasses[ChangeClassCount] = {};
    bool maxFill = false;
    FillBudget budget;
    bool fingerprint = false;
    bool expect = false;
    std::string recordPath;
    bool history = false;
    std::vector<std::string> historyPaths; // the paths after --history
};

// The option and the argument after it; keeps the first fault in `error`.
void readValueOption(const char* option, const char* value, Options& options, std::string& error) {
    std::string fault;
    if (value == nullptr) {
        fault = std::string(option) + " needs a value";
    } else if (std::strcmp(option, "--find") == 0) {
        if (options.find)
            fault = "--find may be given once";
        options.find = true;
        options.pattern = value;
    } else if (std::strcmp(option, "--html") == 0) {
        if (options.html)
            fault = "--html may be given once";
        options.html = true;
        options.htmlPath = value;
    } else if (std::strcmp(option, "--images") == 0) {
        if (options.imageCount == 2)
            fault = "--images may be given twice at most";
        else
            options.images[options.imageCount++] = value;
    } else if (std::strcmp(option, "--at") == 0) {
        if (options.at)
            fault = "--at may be given once";
        options.at = true;
        if (fault.empty() && !parseLocation(value, options.atSelector, options.atAddress))
            fault = std::string("Not a hexadecimal SEL:ADDR: ") + value;
    } else if (std::strcmp(option, "--expect") == 0) {
        if (options.expect)
            fault = "--expect may be given once";
        options.expect = true;
        options.recordPath = value;
    } else if (std::strcmp(option, "--max-fill") == 0) {
        options.maxFill = true;
        parseFillBudget(value, options.budget, fault);
    } else {
        options.failOn = true;
        std::string word;
        if (!parseClassList(value, options.failClasses, word))
            fault = word.empty() ? std::string("Empty change class in the list: ") + value
                                 : "Unknown change class: " + word;
    }
    if (error.empty())
        error = fault;
}

// Reads every argument, so that --json decides the form of any message, even one about an
// argument in front of it. Keeps the first fault in `error`.
bool readArguments(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--json") == 0) {
            options.json = true;
        } else if (std::strcmp(argument, "--markdown") == 0) {
            options.markdown = true;
        } else if (platform::infoRequest(argument) == platform::InfoRequest::Help) {
            options.help = true;
        } else if (platform::infoRequest(argument) == platform::InfoRequest::Version) {
            options.version = true;
        } else if (std::strcmp(argument, "--all") == 0) {
            options.all = true;
        } else if (std::strcmp(argument, "--fingerprint") == 0) {
            options.fingerprint = true;
        } else if (std::strcmp(argument, "--history") == 0) {
            // The builds' maps follow it; a path in front of it would be read as another build.
            if (options.pathCount != 0 && error.empty())
                error = "--history takes the symbol maps that follow it, not: " + options.paths[0];
            options.history = true;
        } else if (std::strcmp(argument, "--find") == 0 || std::strcmp(argument, "--at") == 0 ||
                   std::strcmp(argument, "--fail-on") == 0 ||
                   std::strcmp(argument, "--max-fill") == 0 ||
                   std::strcmp(argument, "--expect") == 0 || std::strcmp(argument, "--html") == 0 ||
                   std::strcmp(argument, "--images") == 0) {
            const char* value = i + 1 < argc ? argv[++i] : nullptr;
            readValueOption(argument, value, options, error);
        } else if (argument[0] == '-' && argument[1] != '\0') {
            if (error.empty())
                error = std::string("Unknown option: ") + argument;
        } else if (options.history) {
            options.historyPaths.push_back(argument);
        } else {
            if (options.pathCount == 2 && error.empty())
                error = std::string("More than two paths: ") + argument;
            if (options.pathCount < 2)
                options.paths[options.pathCount] = argument;
            ++options.pathCount;
        }
    }
    if (error.empty() && options.json && options.markdown)
        error = "--json and --markdown are two forms of one report: give one";
    if (!error.empty())
        return false;
    if (options.history && options.historyPaths.empty() && !options.help && !options.version) {
        error = "--history needs the symbol maps of the builds, or their folder";
        return false;
    }
    if (options.pathCount == 0 && !options.history && !options.help && !options.version) {
        error = "No folder or joined file given";
        return false;
    }
    return true;
}

// False when standard output did not take the text (a full disk, a closed pipe).
bool print(const std::string& text) {
    const bool written = std::fputs(text.c_str(), stdout) >= 0;
    return std::fflush(stdout) == 0 && written;
}

void printError(const Options& options, const std::string& error) {
    if (options.json) {
        std::string out;
        JsonWriter w{out};
        jsonBeginObject(w);
        jsonMember(w, "error", error);
        static_cast<void>(jsonEndDocument(w)); // one level, which any writer holds
        print(out);
    } else
        print("\nError: " + error + "\n");
}

int failWith(const Options& options, const std::string& error) {
    printError(options, error);
    return ExitFailure;
}

// A JSON report that its writer refused (see JsonWriter): a fault of the program, not of the
// files read, reported rather than printed as a document with members in the wrong place.
const char RefusedReport[] = "Internal error: the JSON report nests deeper than its writer holds";

// True when the file at `path` begins as every page of this program does.
bool isPage(const std::string& path) {
    platform::File file;
    if (!platform::openForReading(path.c_str(), file))
        return false;
    char start[HtmlPageStart.size()];
    std::size_t count = 0;
    while (count < sizeof start) {
        std::size_t got = 0;
        if (!platform::readBytes(file, start + count, sizeof start - count, got) || got == 0)
            break;
        count += got;
    }
    return std::string_view(start, count) == HtmlPageStart;
}

// The page replaces only what nobody can miss: nothing, an empty file, a page of an earlier run,
// or what is no regular file (a device takes it in place; a folder fails when it is written).
// One of the run's inputs, or any other file (a map, a joined file, a listing, given as the
// page by a slip), is refused before anything is read.
bool checkPagePath(const Options& options, std::string& error,
                   const std::vector<std::string>& maps = {}) {
    const std::string& path = options.htmlPath;
    platform::FileIdentity page;
    if (!options.html || !platform::identifyFile(path.c_str(), page))
        return true;
    bool input = false;
    for (int i = 0; i < options.pathCount; ++i)
        input = input || readsFile(options.paths[i], page);
    for (int i = 0; i < options.imageCount; ++i)
        input = input || readsFile(options.images[i], page);
    for (const std::string& map : maps)
        input = input || readsFile(map, page);
    std::uint64_t size = 0;
    if (input || (platform::regularFileSize(path.c_str(), size) && size != 0 && !isPage(path))) {
        error = "the page would replace " + path;
        return false;
    }
    return true;
}

// Writes the page whole or not at all: a page cut short must not pass for a report.
bool writePage(const std::string& path, const std::string& page, std::string& error) {
    platform::OutputFile output;
    std::size_t failed = 0;
    if (!platform::beginOutput(path.c_str(), output) ||
        !platform::writeAll(output.file, page.data(), page.size()) ||
        !platform::closeOutput(output) || !platform::commitOutputs(&output, 1, failed)) {
        error = "File cannot be written: " + path;
        return false;
    }
    return true;
}

// Writes the page (--html), then prints the report: a page that cannot be written prints its
// error alone, so that what is printed is one report or one error, never both. A report that
// did not reach its reader must not pass for a verified build.
int finish(const Options& options, const std::string& report, const std::string& page, bool valid) {
    std::string error;
    if (options.html && !writePage(options.htmlPath, page, error))
        return failWith(options, error);
    if (!print(report))
        return ExitFailure;
    return valid ? ExitValid : ExitInvalid;
}

int runOnImages(const Options& options) {
    std::string error;
    Inspection first;
    Inspection second;
    if (!inspectPath(options.paths[0], first, error)) {
        printError(options, error);
        return ExitFailure;
    }
    const bool comparing = options.pathCount == 2;
    if (comparing && !inspectPath(options.paths[1], second, error)) {
        printError(options, error);
        return ExitFailure;
    }

    std::string report;
    if (options.json) {
        if (!(comparing ? formatComparisonJson(first, second, report) : formatJson(first, report)))
            return failWith(options, RefusedReport);
    } else if (comparing) {
        report = options.markdown ? formatComparisonMarkdown(first, second)
                                  : formatComparisonTable(first, second);
    } else {
        report = options.markdown ? formatMarkdown(first) : formatTable(first);
    }
    const std::string page = !options.html ? std::string()
                             : comparing   ? formatComparisonHtml(first, second)
                                           : formatHtml(first);
    const bool valid = imagesValid(first) && (!comparing || imagesValid(second));
    return finish(options, report, page, valid);
}

// --fingerprint prints the release record; --expect checks the map against one. A map with
// findings is fingerprinted from the rows it was read with, and its run ends with 1 as its
// check's would.
int checkLayouts(const Options& options, const SymbolMap& map) {
    std::vector<SegmentFingerprint> record;
    std::string error;
    if (options.expect && !readFingerprintRecord(options.recordPath, record, error))
        return failWith(options, error);
    const std::vector<SegmentFingerprint> fingerprints = fingerprintLayouts(map);
    const std::vector<LayoutVerdict> verdicts = compareLayouts(record, fingerprints);
    const std::string out = options.fingerprint
                                ? formatFingerprintRecord(fingerprints)
                                : formatLayoutCheck(map, options.recordPath, verdicts);
    if (!print(out))
        return ExitFailure;
    if (map.findingCount != 0)
        return ExitInvalid;
    for (const LayoutVerdict& verdict : verdicts)
        if (verdict.changed && options.expect)
            return ExitGuardTripped;
    return ExitValid;
}

int runOnMaps(const Options& options) {
    std::string error;
    SymbolMap first;
    SymbolMap second;
    if (!readSymbolMap(options.paths[0], first, error)) {
        printError(options, error);
        return ExitFailure;
    }
    // --images: the build's images, read before the report so that a path that cannot be
    // read fails the run as any other input does.
    Inspection images[2];
    for (int i = 0; i < options.imageCount; ++i) {
        if (!inspectPath(options.images[i], images[i], error)) {
            printError(options, error);
            return ExitFailure;
        }
    }
    const bool withImages = options.imageCount != 0;
    if (options.fingerprint || options.expect)
        return checkLayouts(options, first);
    const bool imagesSound = !withImages || (imagesValid(images[0]) &&
                                             (options.imageCount < 2 || imagesValid(images[1])));
    if (options.pathCount == 1) {
        MapReport model = buildMapReport(first, options.budget);
        if (options.find)
            findRows(first, options.pattern, model);
        if (options.at)
            locateAddress(first, options.atSelector, options.atAddress, model);
        model.images = withImages ? &images[0] : nullptr;
        std::string report;
        if (!options.json)
            report = options.markdown ? formatMapMarkdown(model) : formatMapText(model);
        else if (!formatMapJson(model, report))
            return failWith(options, RefusedReport);
        if (withImages && !options.json && !options.markdown)
            report += formatTable(images[0]);
        const std::string page = options.html ? formatMapHtml(model) : std::string();
        const bool sound = first.findingCount == 0 && imagesSound;
        const int status = finish(options, report, page, sound);
        return status == ExitValid && model.overBudget ? ExitGuardTripped : status;
    }
    if (!readSymbolMap(options.paths[1], second, error)) {
        printError(options, error);
        return ExitFailure;
    }
    MapComparison model =
        compareMaps(first, second, options.all, options.failClasses, options.budget);
    if (withImages) {
        model.oldImages = &images[0];
        model.newImages = &images[1];
    }
    std::string report;
    if (!options.json)
        report =
            options.markdown ? formatComparisonMapMarkdown(model) : formatComparisonMapText(model);
    else if (!formatComparisonMapJson(model, report))
        return failWith(options, RefusedReport);
    if (withImages && !options.json && !options.markdown)
        report += formatComparisonTable(images[0], images[1]);
    const std::string page = options.html ? formatComparisonMapHtml(model) : std::string();
    const bool sound = first.findingCount == 0 && second.findingCount == 0 && imagesSound;
    const int status = finish(options, report, page, sound);
    return status == ExitValid && model.verdict == GuardVerdict::Tripped ? ExitGuardTripped
                                                                         : status;
}

// The maps of --history: the paths as given, or the .mp2 files of the one folder given, in the
// natural order of their names ("b2" before "b10"). Each must open and be a symbol map.
bool historyMaps(const Options& options, std::vector<std::string>& maps, std::string& error) {
    const std::string& first = options.historyPaths.front();
    if (options.historyPaths.size() == 1 && platform::existsAsDirectory(first.c_str())) {
        std::vector<std::string> names;
        if (!platform::listFilesMatching(first, "", ".mp2", names)) {
            error = "Folder cannot be read: " + first;
            return false;
        }
        if (names.empty()) {
            error = "No symbol map (.mp2) in the folder: " + first;
            return false;
        }
        std::sort(names.begin(), names.end(), naturalLess);
        const std::string folder = platform::outputFolderPrefix(first);
        for (const std::string& name : names)
            maps.push_back(folder + name);
    } else {
        maps = options.historyPaths;
    }
    for (const std::string& map : maps) {
        if (!pathOpens(map))
            error = "File cannot be opened: " + map;
        else if (!looksLikeSymbolMap(map))
            error = "--history reads symbol maps, not: " + map;
        if (!error.empty())
            return false;
    }
    return true;
}

// --history: the maps read one after the other into the history, and its report. The status
// is 1 when any map has findings, else 2 when the newest build is over its budget.
int runHistory(const Options& options) {
    std::string error;
    std::vector<std::string> maps;
    if (options.find || options.at || options.all || options.failOn || options.imageCount != 0 ||
        options.fingerprint || options.expect)
        error = "--history takes no --find, --at, --all, --fail-on, --images, --fingerprint or "
                "--expect";
    if (!error.empty() || !historyMaps(options, maps, error) ||
        !checkPagePath(options, error, maps))
        return failWith(options, error);
    MapHistory history;
    if (!readHistory(maps, options.budget, history, error))
        return failWith(options, error);
    std::string report;
    if (!options.json)
        report = options.markdown ? formatHistoryMarkdown(history) : formatHistoryText(history);
    else if (!formatHistoryJson(history, report))
        return failWith(options, RefusedReport);
    const std::string page = options.html ? formatHistoryHtml(history) : std::string();
    const int status = finish(options, report, page, history.unsound == 0);
    return status == ExitValid && history.overBudget ? ExitGuardTripped : status;
}

// "A", "B" or "A and B": of two options, those given, for a message that names no other.
std::string givenOptions(bool a, const char* aName, bool b, const char* bName) {
    return a && b ? std::string(aName) + " and " + bName : a ? aName : bName;
}

} // namespace

int runPlcinfo(int argc, char** argv) {
    Options options;
    std::string error;
    const bool argumentsRead = readArguments(argc, argv, options, error);
    if (!options.json && !options.markdown && !options.fingerprint)
        print(Banner);
    if (!argumentsRead) {
        printError(options, error);
        if (!options.json)
            print(Usage);
        return ExitFailure;
    }
    if (options.help) {
        print(std::string(Usage) + HelpMore);
        return ExitValid;
    }
    if (options.version) {
        print("\nPlcinfo (PlcPostLink) " PLC_PACKAGE_VERSION "\n");
        return ExitValid;
    }
    if (options.history)
        return runHistory(options);

    // A path that names nothing readable is reported as such, whatever the other one is.
    bool maps[2] = {};
    for (int i = 0; i < options.pathCount; ++i) {
        maps[i] = looksLikeSymbolMap(options.paths[i]);
        if (error.empty() && !pathOpens(options.paths[i]))
            error = "File cannot be opened: " + options.paths[i];
    }
    const bool comparing = options.pathCount == 2;
    if (!error.empty())
        return failWith(options, error);
    if (comparing && maps[0] != maps[1])
        error = "A symbol map cannot be compared with images: " + options.paths[0] + " against " +
                options.paths[1];
    else if ((options.find || options.at) && (comparing || !maps[0]))
        error = givenOptions(options.find, "--find", options.at, "--at") +
                (options.find && options.at ? " look" : " looks") + " into one symbol map";
    else if ((options.all || options.failOn) && !(comparing && maps[0]))
        error = givenOptions(options.all, "--all", options.failOn, "--fail-on") +
                (options.all && options.failOn ? " compare" : " compares") + " two symbol maps";
    else if (options.maxFill && !maps[0])
        error = "--max-fill checks the data segments of a symbol map";
    else if ((options.fingerprint || options.expect) &&
             (comparing || !maps[0] || options.fingerprint == options.expect || options.json ||
              options.markdown || options.html || options.find || options.at ||
              options.imageCount != 0 || options.maxFill))
        error = givenOptions(options.fingerprint, "--fingerprint", options.expect, "--expect") +
                (options.fingerprint && options.expect ? " take" : " takes") +
                " one symbol map and no other option";
    else if (options.imageCount != 0 && !maps[0])
        error = "--images adds a build's images to a symbol map's report";
    else if (options.imageCount != 0 && options.imageCount != options.pathCount)
        error = "--images is given once with one symbol map, twice (old, new) with two";
    for (int i = 0; i < options.imageCount && error.empty(); ++i) {
        if (!pathOpens(options.images[i]))
            error = "File cannot be opened: " + options.images[i];
        else if (looksLikeSymbolMap(options.images[i]))
            error = "--images takes a folder or joined file of images: " + options.images[i];
    }
    if (!error.empty() || !checkPagePath(options, error))
        return failWith(options, error);
    return maps[0] ? runOnMaps(options) : runOnImages(options);
}

} // namespace plcinfo
