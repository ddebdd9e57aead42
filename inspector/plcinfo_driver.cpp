// Driver of the inspector: banner, options, one path or two, the report and the exit status.
#include "inspector.h"

#include <cstdio>
#include <cstring>

namespace plcinfo {

namespace {

const char Banner[] = "\nPLC-Bin inspector for Zelvar        Version 1.0   PLC image inspector\n";
const char Usage[] =
    "\nSyntax: Plcinfo [--json] (images folder or joined file)\n"
    "        Plcinfo [--json] (old folder or joined file) (new folder or joined file)\n"
    "\n--json ....... the same facts as one JSON document, without the banner\n"
    "-h, --help ... this text\n";

struct Options {
    bool json = false;
    bool help = false;
    std::string paths[2];
    int pathCount = 0;
};

// Reads every argument, so that --json decides the form of any message, even one about an
// argument in front of it. Keeps the first fault in `error`.
bool readArguments(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--json") == 0) {
            options.json = true;
        } else if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0) {
            options.help = true;
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
    if (options.pathCount == 0 && !options.help) {
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
    if (options.json)
        print("{\"error\": " + jsonString(error) + "}\n");
    else
        print("\nError: " + error + "\n");
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
        print(Usage);
        return ExitValid;
    }

    Inspection first;
    Inspection second;
    if (!inspectPath(options.paths[0], first, error)) {
        printError(options, error);
        return ExitFailure;
    }
    const bool comparing = options.pathCount == 2;
    if (comparing && !inspectPath(options.paths[1], second, error)) {
        releaseInspection(first);
        printError(options, error);
        return ExitFailure;
    }

    const std::string report = comparing ? (options.json ? formatComparisonJson(first, second)
                                                         : formatComparisonTable(first, second))
                                         : (options.json ? formatJson(first) : formatTable(first));
    const bool valid = badImageCount(first) == 0 && (!comparing || badImageCount(second) == 0);
    releaseInspection(first);
    releaseInspection(second);
    // A report that did not reach its reader must not pass for a verified build.
    if (!print(report))
        return ExitFailure;
    return valid ? ExitValid : ExitInvalid;
}

} // namespace plcinfo
