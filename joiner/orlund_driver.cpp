// The joiner's run: banner, the three arguments, the destination, the seventeen images in
// table order, the PLC_ENDP file, and the close of the destination.
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

// "NO" in exactly these two capitals asks for no join at all; "no" or "No" name a file.
const char kNoJoin[] = "NO";

bool isSource(const std::string& sourcePath, const platform::FileIdentity& destination) {
    std::string found;
    platform::FileIdentity id;
    return locateSource(sourcePath, found) && platform::identifyFile(found.c_str(), id) &&
           platform::sameFile(id, destination);
}

// True when the destination already exists and is one of the eighteen sources, each found as
// the append will find it.
bool destinationIsASource(const std::string& destinationPath, const std::string& outputPath,
                          const std::string& endPath) {
    platform::FileIdentity destination;
    if (!platform::identifyFile(destinationPath.c_str(), destination))
        return false;
    for (const char* name : kImageNames)
        if (isSource(outputPath + name, destination))
            return true;
    return isSource(endPath, destination);
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
    if (argc < 4) {
        printMessage(kSyntax);
        return kExitFailure;
    }
    const std::string outputPath = argv[1];
    if (std::strcmp(argv[2], kNoJoin) == 0)
        return kExitSuccess;

    JoinDestination destination;
    const std::string destinationPath = outputPath + argv[2];
    if (destinationIsASource(destinationPath, outputPath, argv[3])) {
        printMessage(kSameFileError);
        return kExitFailure;
    }
    if (!platform::createForWriting(destinationPath.c_str(), destination.file)) {
        printMessage(kCreateError);
        return kExitFailure;
    }
    destination.identified = platform::identifyOpenFile(destination.file, destination.identity);
    if (!appendImages(outputPath, destination) || !AppendFile(argv[3], destination)) {
        // The run has already failed and said why; the destination keeps what was appended.
        platform::closeFile(destination.file);
        return kExitFailure;
    }
    if (!platform::closeFile(destination.file)) {
        printMessage(kWriteError);
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace orlund
