// Plcinfo: verifies and describes the seventeen PLC images, in a folder or in a joined file.
#include "inspector.h"

int main(int argc, char** argv) {
    return plcinfo::runPlcinfo(argc, argv);
}
