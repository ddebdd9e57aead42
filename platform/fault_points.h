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
//                     Two such calls, comma-separated ("rename:3,remove:2"), fail both. Each
//                     may end in ":fail", ":kill" or ":interrupt": what happens at that call,
//                     whatever PLC_FAULT_ACTION says.
//   PLC_FAULT_ACTION  what happens at a planned call instead of a failure: "kill" ends the
//                     process at once, without any cleanup, as a power cut or SIGKILL would;
//                     "interrupt" interrupts it as SIGTERM (on Windows Ctrl+C) would. Unset:
//                     the call fails.
//   PLC_FAULT_MARK    a path, created when every planned call has been reached, so that the
//                     sweep can tell a run that reached them from one that ended before.
//   PLC_FAULT_FILE_SYSTEM
//                     "links": the file system cannot exchange two names in one step (as
//                     most cannot); "fat": it can neither exchange names nor make a hard link
//                     (FAT, exFAT), and refuses both as such a file system does.
#pragma once

namespace platform {

// Rename: every rename of an output's temporary onto its name (keeping the replaced file when
// it must), and every putting back of a replaced file. Remove: every removal of a temporary or
// of a kept file.
enum class FaultOp { Open, Read, Create, Write, Close, Map, Rename, Remove };

#ifdef PLC_FAULT_POINTS
bool faultNow(FaultOp op);
bool exchangeRefused();
bool hardLinkRefused();
#else
inline bool faultNow(FaultOp) {
    return false;
}
inline bool exchangeRefused() {
    return false;
}
inline bool hardLinkRefused() {
    return false;
}
#endif

} // namespace platform
