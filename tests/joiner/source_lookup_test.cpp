// How a composed source name is found on a file system that tells letter case apart (the
// case-insensitive match itself is the platform's, tested there).
#include "joiner.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

TEST(LocateSource, ExactFileFirstThenCaseInsensitiveMatchInItsFolder) {
    TempDir dir;
    std::string found;
    writeFile(dir.file("plc_main.bin"), "a");
    // Where the file system tells case apart, a name lower in byte order that is not the
    // exact one; on Windows the same file.
    writeFile(dir.file("Plc_main.bin"), "b");
    ASSERT_TRUE(orlund::locateSource(dir.file("plc_main.bin"), found));
    EXPECT_EQ(found, dir.file("plc_main.bin"));
    // A directory of the exact name does not count as the file.
    std::filesystem::create_directory(dir.file("PLC_E003.BIN"));
    EXPECT_FALSE(orlund::locateSource(dir.file("PLC_E003.BIN"), found));
    EXPECT_EQ(found, "");
#ifndef _WIN32
    writeFile(dir.file("plc_e003.bin"), "c");
    ASSERT_TRUE(orlund::locateSource(dir.file("PLC_E003.BIN"), found));
    EXPECT_EQ(found, dir.file("plc_e003.bin"));
#else
    // The file system finds a name in any case as it stands.
    ASSERT_TRUE(orlund::locateSource(dir.file("PLC_MAIN.BIN"), found));
    EXPECT_EQ(found, dir.file("PLC_MAIN.BIN"));
#endif
    // A name that ends in a separator names no file.
    EXPECT_FALSE(orlund::locateSource(dir.path() + "/", found));
}
