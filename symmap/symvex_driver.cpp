#include "symvex_driver.h"

#include "command_line.h"
#include "diagnostics.h"
#include "linker_map_reader.h"
#include "listing_parser.h"
#include "platform.h"
#include "symbol_dictionary.h"
#include "symbol_map_writer.h"

#include <cstdio>

namespace symmap {

namespace {

void printBanner() {
    std::printf(BannerFormat, VersionMajor, VersionMinor);
    std::printf("%s\n\n", BannerNotice);
    std::fflush(stdout);
}

bool acceptArguments(int argc, char** argv, SymvexArguments& arguments) {
    // "@file" takes every argument from the command file; the rest of the line is ignored.
    if (argv[1][0] == '@')
        return acceptCommandFile(argv[1] + 1, arguments);
    return acceptCommandLine(argc - 1, argv + 1, arguments);
}

// Reads the listing and the map, marks the module blocks and writes the .mp2. False when a
// reader failed: the run then ends without a summary.
bool runStages(const SymvexArguments& arguments) {
    SymbolDictionary dictionary;
    if (!readListing(arguments.fileLST.c_str(), dictionary))
        return false;
    if (!readLinkerMap(arguments.fileMAP.c_str(), dictionary))
        return false;
    checkModuleBlocks(dictionary);
    // A failed write is counted as an error and shows in the summary and the exit status.
    writeSymbolMap(arguments.fileMP2.c_str(), dictionary, arguments.fileLST.c_str(),
                   arguments.fileMAP.c_str());
    return true;
}

void printSummary() {
    if (warningsMode()) {
        std::printf("\t%u errors, %u warnings\r\n\r\n", errorCount(), warningCount());
    } else {
        // Warnings print only with /w; without it one line says that there are some, so
        // that no symbol left out of the map goes without a word.
        if (warningCount() > 0)
            std::printf("\t%u warnings; /w lists them\r\n", warningCount());
        std::printf("\t%u errors\r\n\r\n", errorCount());
    }
    std::fflush(stdout);
}

int finish(int status) {
    std::fflush(stdout);
    return status;
}

} // namespace

int runSymvex(int argc, char** argv) {
    printBanner();
    resetDiagnostics();
    switch (platform::soleInfoRequest(argc, argv)) {
    case platform::InfoRequest::Help:
        printHelp();
        return finish(0);
    case platform::InfoRequest::Version:
        std::printf("Symvex (PlcPostLink) %s\n", PLC_PACKAGE_VERSION);
        return finish(0);
    case platform::InfoRequest::None:
        break;
    }
    if (argc < 2) {
        printUsage();
        return finish(ExitFailure);
    }
    SymvexArguments arguments;
    if (!acceptArguments(argc, argv, arguments))
        return finish(ExitFailure);
    if (!runStages(arguments))
        return finish(ExitFailure);
    printSummary();
    return finish(errorCount() == 0 ? 0 : ExitFailure);
}

} // namespace symmap
