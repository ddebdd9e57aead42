// What the Plcinfo fuzz targets share: a run of the inspector on what lies in the in-memory
// file system, with the promises every run keeps.
#pragma once

#include "harness.h"

#include <string>
#include <vector>

namespace fuzzsupport {

// Runs Plcinfo with `arguments` (without the program name). It must leave every file as it
// was, close everything it opened, and end with 0, 1 or 2 (a --fail-on class changed): the
// files are there to be read, so nothing may fail it.
void runPlcinfoOn(const std::vector<std::string>& arguments);

// Cuts `bytes` at its first NUL byte into two parts (the second empty when there is none).
void splitAtNul(std::string_view bytes, std::string_view& first, std::string_view& second);

} // namespace fuzzsupport
