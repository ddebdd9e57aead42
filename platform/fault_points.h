// Failure points of the file services, for the I/O fault sweep of the test suite.
//
// Each operation of a system's file services asks `faultNow` first and, when told so, fails
// that one call as the system would. Only the library variant compiled with PLC_FAULT_POINTS
// (linked into test-only copies of the programs) has live points; in every other translation
// unit `faultNow` is a constant false and the check compiles away, so an installed program
// never has them.
//
// The live variant takes its plan from the environment of the process:
//   PLC_FAULT         "OPERATION:N", e.g. "write:3": the N-th call (counted from 1) of that
//                     operation fails, every other call runs as usual; unset or empty: none.
//   PLC_FAULT_ACTION  what happens at that call instead of a failure: "kill" ends the process
//                     at once, without any cleanup, as a power cut or SIGKILL would; "interrupt"
//                     interrupts it as SIGTERM (on Windows Ctrl+C) would. Unset: the call fails.
//   PLC_FAULT_MARK    a path, created when the planned call has been reached, so that the
//                     sweep can tell a run that reached its N-th call from one that ended
//                     before it.
#pragma once

namespace platform {

// Rename: every rename of an output's temporary onto its name (keeping the replaced file when
// it must), and every putting back of a replaced file.
enum class FaultOp { Open, Read, Create, Write, Close, Map, Rename };

#ifdef PLC_FAULT_POINTS
bool faultNow(FaultOp op);
#else
inline bool faultNow(FaultOp) {
    return false;
}
#endif

} // namespace platform
