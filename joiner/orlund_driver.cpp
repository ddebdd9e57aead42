// The joiner's run: banner, the three arguments, the destination, the seventeen images in
// table order, the PLC_ENDP file, and the close of the destination, which then takes its name.
#include "joiner.h"

#include <cstdio>
#include <cstring>

namespace orlund {

const char* const kImageNames[kImageCount] = {
    "PLC_MAIN.BIN", "PLC_FAR0.BIN", "PLC_E003.BIN", "PLC_E004.BIN", "PLC_E005.BIN", "PLC_E006.BIN",
    "PLC_E007.BIN", "PLC_E008.BIN", "PLC_E009.BIN", "PLC_E010.BIN", "PLC_E011.BIN", "PLC_E012.BIN",
    "PLC_E013.BIN", "PLC_E014.BIN", "PLC_E015.BIN", "PLC_E016.BIN", "PLC_E017.BIN",
};

namespace {

const char kBanner[] = "\nJoint files by ORLUND                 Version 1.3"
                       "   PLC image joiner\n";
const char kSyntax[] = "\nSyntax: ORLUND (path-output) (dest.file name) (PLC_ENDP name)\n";
const char kCreateError[] = "\nError: Destination file cannot be created\n";

// The answer to a sole "-h" or "--help".
const char kHelp[] =
    "\nUsage: Orlund PathOutput DestFile PLC_ENDP\n"
    "\n"
    "Joins the seventeen PLC images that Tessan wrote and the PLC_ENDP file into the\n"
    "one file the control loads. The arguments are taken in this order:\n"
    "\n"
    "  PathOutput  the folder that holds the images, as given to Tessan, with its\n"
    "              separator at the end (out/images/)\n"
    "  DestFile    the name of the joined file, written into PathOutput beside the\n"
    "              images; NO (in capitals) joins nothing\n"
    "  PLC_ENDP    the file appended after the images, a path of its own (not under\n"
    "              PathOutput)\n"
    "\n"
    "Exit status: 0 when the joined file was written (or DestFile is NO), 255 (on\n"
    "Windows -1) on any error.\n"
    "\n"
    "Example:\n"
    "  Orlund out/images/ KORVEX.PLC examples/PLC_ENDP.DAT\n";

// "NO" in exactly these two capitals asks for no join at all; "no" or "No" name a file.
const char kNoJoin[] = "NO";

bool isSource(const std::string& sourcePath, const platform::FileIdentity& destination) {
    std::string found;
    platform::FileIdentity id;
    return locateSource(sourcePath, found) && platform::identifyFile(found.c_str(), id) &&
           platform::sameFile(id, destination);
}

bool sameFolder(const std::string& a, const std::string& b) {
    platform::FileIdentity first, second;
    return a == b || (platform::identifyFile(a.empty() ? "." : a.c_str(), first) &&
                      platform::identifyFile(b.empty() ? "." : b.c_str(), second) &&
                      platform::sameFile(first, second));
}

// True when the lookup of a source would find a destination that does not exist yet once it
// is created: in the source's folder, named like it ignoring letter case, and either named
// exactly so or the entry the lookup ignoring case would take.
bool wouldFindNewDestination(const std::string& sourcePath, const std::string& destinationPath) {
    std::string sourceFolder, sourceName, folder, name;
    platform::splitPath(sourcePath, sourceFolder, sourceName);
    platform::splitPath(destinationPath, folder, name);
    if (!platform::equalIgnoringCase(sourceName, name) || !sameFolder(sourceFolder, folder))
        return false;
    if (sourceName == name)
        return true;
    if (platform::existsAsFile(sourcePath.c_str()))
        return false; // found as it stands, before any lookup ignoring case
    std::string found;
    return !platform::findFileIgnoringCase(sourceFolder, sourceName, found) || name < found;
}

// True when the destination is one of the eighteen sources, each found as the append will find
// it: an existing destination that is one of them, or a new one that a source's lookup would
// find once it is created. The join would read the file it writes.
bool destinationIsASource(const std::string& destinationPath, const std::string& outputPath,
                          const std::string& endPath) {
    platform::FileIdentity destination;
    const bool exists = platform::identifyFile(destinationPath.c_str(), destination);
    auto refers = [&](const std::string& sourcePath) {
        return exists ? isSource(sourcePath, destination)
                      : wouldFindNewDestination(sourcePath, destinationPath);
    };
    for (const char* name : kImageNames)
        if (refers(outputPath + name))
            return true;
    return refers(endPath);
}

bool appendImages(const std::string& outputPath, JoinDestination& destination) {
    for (const char* name : kImageNames) {
        if (!AppendFile(outputPath + name, destination))
            return false;
    }
    return true;
}

} // namespace

void printMessage(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

int runOrlund(int argc, char** argv) {
    printMessage(kBanner);
    switch (platform::soleInfoRequest(argc, argv)) {
    case platform::InfoRequest::Help:
        printMessage(kHelp);
        return kExitSuccess;
    case platform::InfoRequest::Version:
        printMessage("\nOrlund (PlcPostLink) " PLC_PACKAGE_VERSION "\n");
        return kExitSuccess;
    case platform::InfoRequest::None:
        break;
    }
    if (argc < 4) {
        printMessage(kSyntax);
        return kExitFailure;
    }
    // An existing folder given without its trailing separator still means that folder.
    const std::string outputPath = platform::outputFolderPrefix(argv[1]);
    if (std::strcmp(argv[2], kNoJoin) == 0)
        return kExitSuccess;

    JoinDestination destination;
    const std::string destinationPath = outputPath + argv[2];
    if (destinationIsASource(destinationPath, outputPath, argv[3])) {
        printMessage(kSameFileError);
        return kExitFailure;
    }
    if (!platform::beginOutput(destinationPath.c_str(), destination.output)) {
        printMessage(kCreateError);
        return kExitFailure;
    }
    // The joined file takes the destination's name only when it is complete; on any failure
    // its temporary goes and the destination keeps what it held.
    if (!appendImages(outputPath, destination) || !AppendFile(argv[3], destination))
        return kExitFailure;
    std::size_t failed = 0;
    if (!platform::closeOutput(destination.output) ||
        !platform::commitOutputs(&destination.output, 1, failed)) {
        printMessage(kWriteError);
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace orlund
