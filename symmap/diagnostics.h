// Numbered diagnostics of the symbol map builder: the message table, the error and warning
// counters, the warnings mode, and the one reporter that prints and counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace symmap {

enum class Severity : std::uint8_t { CriticalError, Error, Warning, Info };

struct MessageEntry {
    std::uint16_t code; // printed as SV%04d; equals the entry's number
    Severity severity;
    const char* text; // empty for reserved numbers
};

// The messages by name; each value is the message's number and its index in MessageTable.
// Numbers 19 to 29 and 35 to 39 are reserved and have no name.
enum MessageId : int {
    MsgInternalError = 0,
    MsgFileOpen = 1,
    MsgInvalidCommandLineOption = 2,
    MsgTooFewCommandLineParameters = 3,
    MsgFileRead = 4,
    MsgInvalidCommandFileOption = 5,
    MsgTooFewCommandFileParameters = 6,
    MsgIdentifierTooLong = 7,
    MsgInvalidCharacter = 8,
    MsgOutOfMemory = 9,
    MsgFileClose = 10,
    MsgFileWrite = 11,
    MsgInvalidModuleBlockInit = 12,
    MsgInvalidModuleBlockDone = 13,
    MsgOutputNotASymbolMap = 14,
    MsgOutputIsAnInput = 15,
    MsgNoSymbolTables = 16,
    MsgUtf16Input = 17,
    MsgNoPublicInMap = 18,
    MsgMultipleDefinition = 30,
    MsgInvalidBitWeight = 31,
    MsgExpectStructureOrRecord = 32,
    MsgSymbolNotEntered = 33,
    MsgPublicNotInMap = 34,
    MsgInconsistentMap = 40,
};

inline constexpr int MessageCount = 41;
extern const MessageEntry MessageTable[MessageCount];

// Reading more than this many errors makes the reporter tell its caller to stop.
inline constexpr unsigned ErrorLimit = 20;

// Prints message `id` (when its severity calls for it) and counts it. `fileName` may be
// null; `line` and `column` count from 0, negative for none. `extra` may hold any bytes,
// NUL included. Returns true while fewer than ErrorLimit errors have been counted.
bool reportMessage(MessageId id, const char* fileName, int line, int column,
                   std::optional<std::string_view> extra = std::nullopt);

unsigned errorCount();
unsigned warningCount();
bool warningsMode();
void setWarningsMode(bool on);

// Back to the state at program start: counters 0, warnings mode off (for tests).
void resetDiagnostics();

} // namespace symmap
