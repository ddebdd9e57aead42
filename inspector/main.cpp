// Plcinfo: verifies and describes the seventeen PLC images, in a folder or in a joined file,
// and checks, looks into and compares symbol maps.
#include "plcinfo_driver.h"

int main(int argc, char** argv) {
    return plcinfo::runPlcinfo(argc, argv);
}
