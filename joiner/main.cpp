#include "joiner.h"

int main(int argc, char** argv) {
    return orlund::runOrlund(argc, argv);
}
