#include "test_support.h"

#include "plc_generator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device seed;
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate =
            base / ("plc-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code error;
    // Tests may leave read-only folders behind; give write permission back first.
    for (auto it = fs::recursive_directory_iterator(path_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
    fs::remove_all(path_, error);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeProject(const plcgen::ProgramLayout& layout, const std::string& dir) {
    std::string error;
    ASSERT_TRUE(plcgen::writeProgram(layout, dir + "/KORVEX.EXE", dir + "/KORVEX.map",
                                     dir + "/Make.knf", error))
        << error;
}

bool makeSymbolicLink(const std::string& target, const std::string& link) {
    std::error_code error;
    std::filesystem::create_symlink(target, link, error);
    return !error;
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string testDataDir() {
    return TEST_DATA_DIR;
}

std::string realDataDir() {
    std::error_code error;
    return fs::is_directory(REALDATA_DIR, error) ? std::string(REALDATA_DIR) : std::string();
}

std::map<std::string, std::string> folderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory())
            files[fs::relative(entry.path(), folder).generic_string()] =
                readFile(entry.path().string());
    return files;
}

} // namespace testsupport
