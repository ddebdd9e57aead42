// The seventeen images a correct run must write, built from the generated executable's bytes
// and the program description alone, without the splitter's code.
#pragma once

#include "plc_generator.h"

#include <string>
#include <utility>
#include <vector>

namespace splittertest {

extern const char* const ImageNames[17];

// The comment block for a quoted text: the text, blanks to 31 characters, a zero byte.
std::string commentBlock(const std::string& text);

// Image file name and bytes, in writing order.
std::vector<std::pair<std::string, std::string>> expectedImages(const plcgen::ProgramLayout& layout,
                                                                const std::string& exe,
                                                                const std::string& comment);

unsigned word(const std::string& bytes, std::size_t offset);

// Writes exe, map and make-file of `layout` as KORVEX.EXE, KORVEX.map and Make.knf in `dir`.
void writeInputs(const plcgen::ProgramLayout& layout, const std::string& dir);

} // namespace splittertest
