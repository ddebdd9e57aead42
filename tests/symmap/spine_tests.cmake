# Tests of arguments, diagnostics, dictionary and .mp2 writer.
