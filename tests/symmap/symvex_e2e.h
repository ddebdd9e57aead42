// What the end-to-end runs of Symvex share: where the example project lies and what the
// example prints in warnings mode.
#pragma once

#include "test_support.h"

#include <string>

namespace symvextest {

inline std::string examplePath(const std::string& name) {
    return testsupport::testDataDir() + "/../../examples/" + name;
}

// The example's warnings and summary in warnings mode, with the listing and the map given as
// plc.lst and KORVEX.map.
inline const std::string ExampleWarnings =
    "plc.lst(22:1) warning SV0008: Invalid character. : '\f' (0x0c)\n"
    "plc.lst(102:37) warning SV0032: Expect structure or record name. : L\n"
    "KORVEX.map(43:18) warning SV0040: Inconsistent informations.\n"
    "\t0 errors, 3 warnings\r\n\r\n";

// The line before the summary that counts the example's warnings without warnings mode.
inline const std::string ExampleNote = "\t3 warnings; /w lists them\r\n";

} // namespace symvextest
