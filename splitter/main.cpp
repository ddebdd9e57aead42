// Tessan: cuts the seventeen PLC image files out of the linked executable.
#include "splitter.h"

int main(int argc, char** argv) {
    return tessan::runTessan(argc, argv);
}
