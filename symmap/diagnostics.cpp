#include "diagnostics.h"

#include <cstdio>

namespace symmap {

// The texts are printed byte for byte after "SVnnnn: ", and build logs and the scripts that
// read them depend on every byte: each text stays exactly as it stands, spelling mistakes
// ("Not enought memory.", "Inconsistent informations.") and final full stops included.
// The numbers are the message codes and never move.
const MessageEntry MessageTable[MessageCount] = {
    {0, Severity::CriticalError, "Internal error."},
    {1, Severity::CriticalError, "File open error."},
    {2, Severity::Error, "Invalid command-line option."},
    {3, Severity::CriticalError, "Too few command-line parameters."},
    {4, Severity::CriticalError, "File read error."},
    {5, Severity::Error, "Invalid command-file option."},
    {6, Severity::CriticalError, "Too few command-file parameters."},
    {7, Severity::Warning, "Too long identifier."},
    {8, Severity::Warning, "Invalid character."},
    {9, Severity::CriticalError, "Not enought memory."},
    {10, Severity::CriticalError, "File close error."},
    {11, Severity::CriticalError, "File write error."},
    {12, Severity::Error, "Invalid type of MODULE_BLOCK_INIT."},
    {13, Severity::Error, "Invalid type of MODULE_BLOCK_DONE."},
    {14, Severity::CriticalError, "Output file is not a symbol map."},
    {15, Severity::CriticalError, "Output file is an input file."},
    {16, Severity::CriticalError, "Listing has no symbol tables."},
    {17, Severity::CriticalError, "Input saved as UTF-16."},
    {18, Severity::CriticalError, "Map names no public symbol of the listing."},
    {19, Severity::Warning, ""},
    {20, Severity::Warning, ""},
    {21, Severity::Warning, ""},
    {22, Severity::Warning, ""},
    {23, Severity::Warning, ""},
    {24, Severity::Warning, ""},
    {25, Severity::Warning, ""},
    {26, Severity::Warning, ""},
    {27, Severity::Warning, ""},
    {28, Severity::Warning, ""},
    {29, Severity::Warning, ""},
    {30, Severity::Warning, "Multiple structure or structure item definition."},
    {31, Severity::Warning, "Invalid bit weight."},
    {32, Severity::Warning, "Expect structure or record name."},
    {33, Severity::Warning, "Symbol not entered."},
    {34, Severity::Warning, "Public symbol not found in the map."},
    {35, Severity::Warning, ""},
    {36, Severity::Warning, ""},
    {37, Severity::Warning, ""},
    {38, Severity::Warning, ""},
    {39, Severity::Warning, ""},
    {40, Severity::Warning, "Inconsistent informations."},
};

namespace {

struct DiagnosticState {
    unsigned errors = 0;
    unsigned warnings = 0;
    bool warningsMode = false;
};

DiagnosticState state;

const char* severityName(Severity severity) {
    switch (severity) {
    case Severity::CriticalError:
        return "critical error";
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Info:
        return "info";
    }
    return "";
}

} // namespace

bool reportMessage(MessageId id, const char* fileName, int line, int column,
                   std::optional<std::string_view> extra) {
    // Ids are the callers' names; never index outside the table.
    const int number = id >= 0 && id < MessageCount ? static_cast<int>(id) : MsgInternalError;
    const MessageEntry& entry = MessageTable[number];

    if (entry.severity == Severity::CriticalError || entry.severity == Severity::Error)
        ++state.errors;
    else if (entry.severity == Severity::Warning)
        ++state.warnings;

    const bool quiet = (entry.severity == Severity::Warning || entry.severity == Severity::Info) &&
                       !state.warningsMode;
    if (!quiet) {
        if (fileName != nullptr)
            std::fputs(fileName, stdout);
        if (line < 0)
            std::fputs(" ", stdout);
        else if (column < 0)
            std::printf("(%d) ", line + 1);
        else
            std::printf("(%d:%d) ", line + 1, column + 1);
        std::printf("%s SV%04d: %s", severityName(entry.severity), entry.code, entry.text);
        if (extra) {
            std::fputs(" : ", stdout);
            std::fwrite(extra->data(), 1, extra->size(), stdout);
        }
        std::fputs("\n", stdout);
        // Messages must appear in call order among banner, usage text and summary, also
        // when standard output is a pipe or a file.
        std::fflush(stdout);
    }
    return state.errors < ErrorLimit;
}

unsigned errorCount() {
    return state.errors;
}
unsigned warningCount() {
    return state.warnings;
}
bool warningsMode() {
    return state.warningsMode;
}
void setWarningsMode(bool on) {
    state.warningsMode = on;
}
void resetDiagnostics() {
    state = DiagnosticState{};
}

} // namespace symmap
