// plcgen: writes a linked PLC program from a plain-text description.
//
//   plcgen DESCRIPTION EXE [MAP [MAKEFILE]]
//
// Description lines (numbers hexadecimal, "#" starts a comment line):
//   header PARAGRAPHS                         size of the MZ header in 16-byte paragraphs
//   module SIZE                               load-module size (grown to the last segment)
//   segment NAME CLASS START LENGTH [zero | fill BYTE | ramp FIRST STEP]
//   bytes NAME OFFSET BYTE...                 bytes placed at an offset of a segment
//   public NAME SSSS:OOOO                     a public symbol of the map
//   make TEXT                                 one line of the make-file, verbatim
#include "plc_generator.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: plcgen DESCRIPTION EXE [MAP [MAKEFILE]]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "plcgen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    plcgen::ProgramLayout layout;
    std::string error;
    if (!plcgen::parseDescription(text.str(), layout, error) ||
        !plcgen::writeProgram(layout, argv[2], argc > 3 ? argv[3] : "", argc > 4 ? argv[4] : "",
                              error)) {
        std::fprintf(stderr, "plcgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
