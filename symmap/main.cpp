// Symvex: the symbol map builder of the PLC post-link tool chain.
#include "symvex_driver.h"

int main(int argc, char** argv) {
    return symmap::runSymvex(argc, argv);
}
