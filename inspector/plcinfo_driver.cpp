// Driver of the inspector: banner, options, one path or two (image sets or symbol maps), the
// report and the exit status.
#include "plcinfo_driver.h"
#include "image_set.h"
#include "json_writer.h"
#include "symbol_map.h"

#include <cstdio>
#include <cstring>

namespace plcinfo {

namespace {

const char Banner[] =
    "\nPLC-Bin inspector for Zelvar        Version " PLC_PACKAGE_VERSION "   PLC image inspector\n";
const char Usage[] =
    "\nSyntax: Plcinfo [--json] (images folder or joined file)\n"
    "        Plcinfo [--json] (old folder or joined file) (new folder or joined file)\n"
    "        Plcinfo [--json] [--find NAME] [--at SEL:ADDR] (symbol map)\n"
    "        Plcinfo [--json] [--all] [--fail-on CLASSES] (old symbol map) (new symbol map)\n"
    "\n--json ............ the same facts as one JSON document, without the banner\n"
    "--find NAME ....... every row of that name (letter case ignored, * and ? as wildcards)\n"
    "--at SEL:ADDR ..... the variables that begin there (hexadecimal)\n"
    "--all ............. each variable of a run of moved variables listed too\n"
    "--fail-on CLASSES . exit with 2 on a change of these classes (comma-separated: added,\n"
    "                    removed, moved, retyped, room, offset, value, or one section's class\n"
    "                    such as variable-moved)\n"
    "-h, --help ........ this text\n"
    "--version ......... the version of the tool chain\n";

// What -h or --help prints after the syntax.
const char HelpMore[] =
    "\nExit status: 0 when every image is valid, or the symbol map is sound (for two\n"
    "paths: on both sides, whatever differs); 1 when an image is missing, cut short or\n"
    "fails a check, or a symbol map has findings; 2 when both maps are sound and\n"
    "--fail-on meets a change of its classes; 255 (on Windows -1) on a wrong argument or\n"
    "a file that cannot be read.\n"
    "\n"
    "Examples:\n"
    "  Plcinfo out/images/KORVEX.PLC\n"
    "  Plcinfo --fail-on moved,removed,retyped released/plc.mp2 out/plc.mp2\n";

struct Options {
    bool json = false;
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
    } else if (std::strcmp(option, "--at") == 0) {
        if (options.at)
            fault = "--at may be given once";
        options.at = true;
        if (fault.empty() && !parseLocation(value, options.atSelector, options.atAddress))
            fault = std::string("Not a hexadecimal SEL:ADDR: ") + value;
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
        } else if (platform::infoRequest(argument) == platform::InfoRequest::Help) {
            options.help = true;
        } else if (platform::infoRequest(argument) == platform::InfoRequest::Version) {
            options.version = true;
        } else if (std::strcmp(argument, "--all") == 0) {
            options.all = true;
        } else if (std::strcmp(argument, "--find") == 0 || std::strcmp(argument, "--at") == 0 ||
                   std::strcmp(argument, "--fail-on") == 0) {
            const char* value = i + 1 < argc ? argv[++i] : nullptr;
            readValueOption(argument, value, options, error);
        } else if (argument[0] == '-' && argument[1] != '\0') {
            if (error.empty())
                error = std::string("Unknown option: ") + argument;
        } else {
            if (options.pathCount == 2 && error.empty())
                error = std::string("More than two paths: ") + argument;
            if (options.pathCount < 2)
                options.paths[options.pathCount] = argument;
            ++options.pathCount;
        }
    }
    if (!error.empty())
        return false;
    if (options.pathCount == 0 && !options.help && !options.version) {
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
        jsonEndDocument(w);
        print(out);
    } else
        print("\nError: " + error + "\n");
}

int failWith(const Options& options, const std::string& error) {
    printError(options, error);
    return ExitFailure;
}

// Prints the report; a report that did not reach its reader must not pass for a verified
// build.
int finish(const std::string& report, bool valid) {
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

    const std::string report = comparing ? (options.json ? formatComparisonJson(first, second)
                                                         : formatComparisonTable(first, second))
                                         : (options.json ? formatJson(first) : formatTable(first));
    const bool valid = imagesValid(first) && (!comparing || imagesValid(second));
    return finish(report, valid);
}

int runOnMaps(const Options& options) {
    std::string error;
    SymbolMap first;
    SymbolMap second;
    if (!readSymbolMap(options.paths[0], first, error)) {
        printError(options, error);
        return ExitFailure;
    }
    if (options.pathCount == 1) {
        MapReport model = buildMapReport(first);
        if (options.find)
            findRows(first, options.pattern, model);
        if (options.at)
            locateAddress(first, options.atSelector, options.atAddress, model);
        const std::string report = options.json ? formatMapJson(model) : formatMapText(model);
        const bool sound = first.findingCount == 0;
        return finish(report, sound);
    }
    if (!readSymbolMap(options.paths[1], second, error)) {
        printError(options, error);
        return ExitFailure;
    }
    MapComparison model = compareMaps(first, second, options.all);
    for (int kind = 0; kind < ChangeClassCount; ++kind)
        model.failOn[kind] = options.failClasses[kind];
    const std::string report =
        options.json ? formatComparisonMapJson(model) : formatComparisonMapText(model);
    const bool sound = first.findingCount == 0 && second.findingCount == 0;
    const int status = finish(report, sound);
    return status == ExitValid && guardTripped(model) ? ExitGuardTripped : status;
}

} // namespace

int runPlcinfo(int argc, char** argv) {
    Options options;
    std::string error;
    const bool argumentsRead = readArguments(argc, argv, options, error);
    if (!options.json)
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
        error = "--find and --at look into one symbol map";
    else if ((options.all || options.failOn) && !(comparing && maps[0]))
        error = "--all and --fail-on compare two symbol maps";
    if (!error.empty())
        return failWith(options, error);
    return maps[0] ? runOnMaps(options) : runOnImages(options);
}

} // namespace plcinfo
