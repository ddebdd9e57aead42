// The run of the symbol map builder, from banner to exit status.
#pragma once

namespace symmap {

// Exit status of a failed run; the process reports it as 255.
inline constexpr int ExitFailure = -1;

// Runs Symvex with the arguments the system passed (program name first). Returns 0 when no
// error was counted, else ExitFailure.
int runSymvex(int argc, char** argv);

} // namespace symmap
