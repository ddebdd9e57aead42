// The arguments of the symbol map builder: the three paths and the warnings switch, taken
// from the command line or from a command file.
#pragma once

#include <cstddef>
#include <string>

namespace symmap {

struct SymvexArguments {
    std::string fileMP2; // the .mp2 symbol map to write (positional 1)
    std::string fileLST; // the assembler listing to read (positional 2)
    std::string fileMAP; // the linker map to read (positional 3)
};

// Banner: the first line names the program and its version, the second is this notice.
inline constexpr const char* BannerNotice = "PLC post-link tool chain";
inline constexpr const char* BannerFormat = "Map creator for Zelvar, version %d.%d\n";
inline constexpr int VersionMajor = 1;
inline constexpr int VersionMinor = 0;

// Printed when arguments are missing, with the program's name as the system spells it
// filled in twice.
extern const char* const UsageFormat;

// Of a command file at most this many bytes are read, and of each line at most this many
// characters are used.
inline constexpr std::size_t CommandFileLimit = 10000;
inline constexpr std::size_t CommandFileLineLimit = 999;

void printUsage();

// The answer to a sole "-h" or "--help": the arguments in the order they are taken, each
// explained, the exit statuses and an example.
extern const char* const HelpText;

void printHelp();

// Classifies `count` command-line arguments (program name excluded). Bad switches and
// surplus paths are reported (message 2) and skipped; too few paths give message 3 and the
// usage text. True when all three paths were given. Sets the warnings mode on "-w" / "/w".
bool acceptCommandLine(int count, const char* const* args, SymvexArguments& arguments);

// The same for the arguments of a command file, one per line (messages 1, 4, 5, 6).
bool acceptCommandFile(const char* path, SymvexArguments& arguments);

} // namespace symmap
