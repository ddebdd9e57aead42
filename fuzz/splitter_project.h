// The example's splitter project in the in-memory file system, for the fuzz targets that run
// Tessan or need its images.
#pragma once

#include "harness.h"

namespace fuzzsupport {

// Puts the example's executable, map and make-file (as KORVEX.EXE, KORVEX.map, Make.knf) and
// an empty folder "images" into the in-memory file system, which is emptied first.
void putSplitterProject();

// A whole Tessan run on the example project with the file `name` holding `bytes` instead:
// images into "images/". Crashes when the run leaves a file open or changes an input, or
// succeeds with images that disagree with their headers. Returns the exit status.
int runSplitterWith(const std::string& name, std::string_view bytes);

} // namespace fuzzsupport
