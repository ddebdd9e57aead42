#include "command_line.h"

#include "diagnostics.h"
#include "platform.h"

#include <cstdio>
#include <string_view>

namespace symmap {

// The arguments in the order they are taken; each %s is the system's ending of program names.
const char* const UsageFormat =
    "\nSyntax1:\n\tSymvex%s /w FileMP2 FileLST FileMAP\n\n/w      ... print warnings (debug "
    "mode)\nFileMP2 ... output map file for Zelvar (*.mp2)\nFileLST ... input listing file "
    "(*.lst)\nFileMAP ... input map file (*.map)\n\nSyntax2:\n\tSymvex%s @CmdFile\n\nCmdFile "
    "... file which contains program arguments\n            every argument must be on single "
    "line\n";

namespace {

void printText(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

} // namespace

void printUsage() {
    const char* suffix = platform::programSuffix();
    std::printf(UsageFormat, suffix, suffix);
    std::fflush(stdout);
}

const char* const HelpText =
    "Usage: Symvex [-w] FileMP2 FileLST FileMAP\n"
    "       Symvex @CmdFile\n"
    "\n"
    "Writes the .mp2 symbol map of a PLC program from its assembler listing and its\n"
    "linker map. The three paths are taken in this order, output first:\n"
    "\n"
    "  FileMP2   the .mp2 symbol map to write; a file of that name is replaced\n"
    "  FileLST   the assembler listing to read (*.lst)\n"
    "  FileMAP   the linker map to read (*.map)\n"
    "  -w, /w    print warnings too (debug mode); may stand anywhere\n"
    "  @CmdFile  take the arguments from this file, one per line; nothing after\n"
    "            @CmdFile on the command line is read\n"
    "\n"
    "Exit status: 0 when no error was counted, 255 (on Windows -1) on any error.\n"
    "\n"
    "Example:\n"
    "  Symvex out/plc.mp2 examples/plc.lst examples/KORVEX.map\n";

void printHelp() {
    printText(HelpText);
}

namespace {

// The messages of one argument source: the command line or a command file.
struct ArgumentSource {
    MessageId invalidOption;
    MessageId tooFewParameters;
};

constexpr ArgumentSource CommandLineSource{MsgInvalidCommandLineOption,
                                           MsgTooFewCommandLineParameters};
constexpr ArgumentSource CommandFileSource{MsgInvalidCommandFileOption,
                                           MsgTooFewCommandFileParameters};

// Collects positional arguments in order and handles switches as they come.
class ArgumentCollector {
  public:
    ArgumentCollector(const ArgumentSource& source, SymvexArguments& arguments)
        : source_(source), arguments_(arguments) {}

    void take(std::string_view argument) {
        // Which arguments are switches is the system's rule (a slash may begin a path).
        if (platform::isSwitch(argument)) {
            if (argument.size() == 2 && argument[1] == 'w')
                setWarningsMode(true);
            else
                reportMessage(source_.invalidOption, nullptr, -1, -1, argument);
            return;
        }
        ++positional_;
        switch (positional_) {
        case 1:
            arguments_.fileMP2 = argument;
            break;
        case 2:
            arguments_.fileLST = argument;
            break;
        case 3:
            arguments_.fileMAP = argument;
            break;
        default:
            reportMessage(source_.invalidOption, nullptr, -1, -1, argument);
            break;
        }
    }

    bool finish() const {
        if (positional_ >= 3)
            return true;
        reportMessage(source_.tooFewParameters, nullptr, -1, -1);
        printUsage();
        return false;
    }

  private:
    const ArgumentSource& source_;
    SymvexArguments& arguments_;
    unsigned positional_ = 0;
};

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

bool acceptCommandLine(int count, const char* const* args, SymvexArguments& arguments) {
    ArgumentCollector collector(CommandLineSource, arguments);
    for (int i = 0; i < count; ++i)
        collector.take(args[i]);
    return collector.finish();
}

bool acceptCommandFile(const char* path, SymvexArguments& arguments) {
    platform::File file;
    if (!platform::openForReading(path, file)) {
        reportMessage(MsgFileOpen, nullptr, -1, -1, path);
        return false;
    }
    // Only the first CommandFileLimit bytes count. The read is repeated until they are in or
    // the file ends, so that a pipe delivering in pieces gives the same arguments as a file.
    char data[CommandFileLimit];
    std::size_t size = 0;
    while (size < CommandFileLimit) {
        std::size_t got = 0;
        if (!platform::readBytes(file, data + size, CommandFileLimit - size, got)) {
            reportMessage(MsgFileRead, nullptr, -1, -1, path);
            platform::closeFile(file);
            return false;
        }
        if (got == 0)
            break;
        size += got;
    }
    platform::closeFile(file);

    ArgumentCollector collector(CommandFileSource, arguments);
    std::size_t pos = 0;
    for (;;) {
        while (pos < size && (isLineEnd(data[pos]) || data[pos] == ' '))
            ++pos;
        if (pos == size)
            break;
        const std::size_t start = pos;
        while (pos < size && !isLineEnd(data[pos]))
            ++pos;
        std::string_view argument(data + start, pos - start);
        // A path cannot hold a NUL byte: it ends the argument, the rest of the line is passed
        // over like the part beyond the line limit.
        argument = argument.substr(0, argument.find('\0'));
        collector.take(argument.substr(0, CommandFileLineLimit));
    }
    return collector.finish();
}

} // namespace symmap
