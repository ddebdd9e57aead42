# Tests of the scanner, the listing parser and the linker-map reader.
