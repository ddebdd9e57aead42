// Failure points of the file services, for the I/O fault sweep of the test suite.
//
// Each operation of a system's file services asks `faultNow` first and, when told so, fails
// that one call as the system would. Only the library variant compiled with PLC_FAULT_POINTS
// (linked into test-only copies of the programs) has live points; in every other translation
// unit `faultNow` is a constant false and the check compiles away, so an installed program
// never has them.
//
// The live variant takes its plan from the environment of the process:
//   PLC_FAULT       "OPERATION:N", e.g. "write:3": the N-th call (counted from 1) of that
//                   operation fails, every other call runs as usual; unset or empty: none.
//   PLC_FAULT_MARK  a path, created when the planned call has failed, so that the sweep can
//                   tell a run that reached its N-th call from one that ended before it.
#pragma once

namespace platform {

enum class FaultOp { Open, Read, Create, Write, Close, Map };

#ifdef PLC_FAULT_POINTS
bool faultNow(FaultOp op);
#else
inline bool faultNow(FaultOp) {
    return false;
}
#endif

} // namespace platform
