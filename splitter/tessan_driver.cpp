// Driver of the splitter: banner, usage text, the command line and the command file, and the
// phases in their fixed order.
#include "splitter.h"
#include "text_lines.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tessan {

namespace {

constexpr int VersionMajor = 1;
constexpr int VersionMinor = 0;

// At most this many bytes of a command file are read, and this many characters of a line used.
constexpr std::size_t CommandFileLimit = 10000;
constexpr std::size_t CommandLineLimit = 999;

// The arguments in the order they are taken; each %s is the system's ending of program names.
const char UsageFormat[] =
    "\nSyntax1:\n\tTessan%s /w PathOutput KORVEX.EXE FileMAP Make.knf\n\n/w      ....... print "
    "warnings (debug mode)\nPathOutput .... output path\nKORVEX.EXE ... required\nFileMAP "
    "....... input map file (*.map)\nMake.knf....... input make-file\n\nSyntax2:\n\tTessan%s "
    "@CmdFile\n\nCmdFile ... file which contains program arguments\n            every argument "
    "must be on single line\n";

void printUsage() {
    const char* suffix = platform::programSuffix();
    printMessage(UsageFormat, suffix, suffix);
}

// The answer to a sole "-h" or "--help".
const char HelpText[] =
    "Usage: Tessan [-w] PathOutput KORVEX.EXE FileMAP Make.knf\n"
    "       Tessan @CmdFile\n"
    "\n"
    "Cuts the seventeen PLC images Plc_main.bin, Plc_far0.bin, Plc_e003.bin ...\n"
    "Plc_e017.bin out of the linked executable. The paths are taken in this order:\n"
    "\n"
    "  PathOutput  the folder to write the images to, with its separator at the end\n"
    "              (out/images/); it is put in front of each image's name\n"
    "  KORVEX.EXE  the linked executable to read\n"
    "  FileMAP     the linker map to read (*.map)\n"
    "  Make.knf    the project's make-file; its first comment line becomes the\n"
    "              comment of Plc_main.bin\n"
    "  -w, /w      warnings mode, kept for build scripts; it changes nothing\n"
    "  @CmdFile    take the arguments from this file, one per line; nothing after\n"
    "              @CmdFile on the command line is read\n"
    "\n"
    "Exit status: 0 when the seventeen images were written, 255 (on Windows -1) on\n"
    "any error.\n"
    "\n"
    "Example:\n"
    "  Tessan out/images/ examples/KORVEX.EXE examples/KORVEX.map examples/Make.knf\n";

// Which arguments are options is the system's rule (a slash may begin a path).
bool isOption(const std::string& argument) {
    return platform::isSwitch(argument);
}

bool isWarningsOption(const std::string& argument) {
    return argument.size() == 2 && argument[1] == 'w';
}

void takePositional(RunArguments& arguments, const std::string& text) {
    std::string* slots[] = {&arguments.outputPath, &arguments.exePath, &arguments.mapPath,
                            &arguments.makePath};
    if (arguments.positionalCount < 4)
        *slots[arguments.positionalCount] = text;
    ++arguments.positionalCount;
}

} // namespace

void printMessage(const char* format, ...) {
    va_list list;
    va_start(list, format);
    std::vfprintf(stdout, format, list);
    va_end(list);
    std::fflush(stdout);
}

bool readCommandLine(int argc, char** argv, RunArguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (isOption(argument)) {
            if (isWarningsOption(argument))
                arguments.warningsMode = 1;
            else
                printMessage("\nError: 7, Error in command line (debug)\n");
            continue;
        }
        if (arguments.positionalCount >= 4)
            printMessage("\nError: 6, Error in command line\n");
        takePositional(arguments, argument);
    }
    if (arguments.positionalCount >= 3)
        return true;
    printMessage("\nError: 8, Error in command line (count)\n");
    printUsage();
    return false;
}

bool readCommandFile(const char* path, RunArguments& arguments) {
    platform::File file;
    if (!platform::openForReading(path, file)) {
        printMessage("\nError: 1, File open error: %s\n", path);
        return false;
    }
    // One read of at most 10000 bytes; a short count from the system is completed, so that
    // the first 10000 bytes are what is used whatever the file system hands back per call.
    char data[CommandFileLimit];
    std::size_t size = 0;
    if (!readUpTo(file, data, CommandFileLimit, size)) {
        printMessage("\nError: 2, File read error: %s\n", path);
        platform::closeFile(file);
        return false;
    }

    auto skippable = [](char c) { return c == '\r' || c == '\n' || c == ' '; };
    std::size_t pos = 0;
    while (pos < size && skippable(data[pos]))
        ++pos;
    while (pos < size) {
        const std::size_t begin = pos;
        while (pos < size && data[pos] != '\r' && data[pos] != '\n')
            ++pos;
        std::size_t length = pos - begin;
        if (length > CommandLineLimit)
            length = CommandLineLimit;
        // A NUL byte ends the argument it stands in.
        const void* nul = std::memchr(data + begin, '\0', length);
        if (nul != nullptr)
            length = static_cast<std::size_t>(static_cast<const char*>(nul) - (data + begin));
        const std::string line(data + begin, length);
        while (pos < size && skippable(data[pos]))
            ++pos;

        if (isOption(line)) {
            if (isWarningsOption(line))
                arguments.warningsMode = 1;
            else
                printMessage("\nError: 3, Invalid command-file option (debug): %s\n", path);
            continue;
        }
        if (arguments.positionalCount >= 4)
            printMessage("\nError: 4, Invalid command-file option (count): %s\n", line.c_str());
        takePositional(arguments, line);
    }
    platform::closeFile(file);
    if (arguments.positionalCount >= 3)
        return true;
    printMessage("\nError: 5, Close error command-file option: %s\n", path);
    printUsage();
    return false;
}

int runTessan(int argc, char** argv) {
    printMessage("\nPLC-Bin creator for Zelvar          Version %d.%d   PLC image splitter\n\n",
                 VersionMajor, VersionMinor);
    switch (platform::soleInfoRequest(argc, argv)) {
    case platform::InfoRequest::Help:
        printMessage("%s", HelpText);
        return 0;
    case platform::InfoRequest::Version:
        printMessage("Tessan (PlcPostLink) %s\n", PLC_PACKAGE_VERSION);
        return 0;
    case platform::InfoRequest::None:
        break;
    }
    if (argc < 2) {
        printUsage();
        return -1;
    }
    RunArguments arguments;
    if (argv[1][0] == '@') {
        arguments.commandFile = argv[1] + 1;
        if (!readCommandFile(argv[1] + 1, arguments))
            return -1;
    } else if (!readCommandLine(argc, argv, arguments)) {
        return -1;
    }

    SegmentTable table;
    CommentBlock comment;
    // Holds the executable's opening and view from the loader to the end of the run, and
    // releases both when the run ends, however it ends.
    ImageView image;
    if (!scanMapSegments(arguments.mapPath.c_str(), table))
        return -1;
    if (!loadImage(arguments.exePath.c_str(), image))
        return -1;
    if (!scanMakeComment(arguments.makePath.c_str(), comment))
        return -1;
    // An existing folder given without its trailing separator still means that folder.
    if (!writePlcFiles(platform::outputFolderPrefix(arguments.outputPath), table, image, comment,
                       {arguments.mapPath, arguments.makePath, arguments.commandFile}))
        return -1;
    printMessage("      0 errors\n");
    return 0;
}

} // namespace tessan
