// What the fuzz targets share: the fixed inputs they run a fuzzed file among, and the checks
// that turn a broken promise of a program into a crash the fuzzer reports.
#pragma once

#include "memory_files.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzsupport {

// The bytes of a file of the bundled example project (examples/), read once.
const std::string& exampleFile(const std::string& name);

// The example's linked executable, built from its description (examples/KORVEX.plcgen).
const std::string& exampleExecutable();

// The fuzzed bytes as text.
inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Reports what went wrong and stops with a crash, which the fuzzer keeps as a finding.
[[noreturn]] void fail(const char* what);

// Crashes when the run left a file open or a view mapped.
void expectAllReleased();

// Crashes when a file of `before` that is not one of `mayChange` lost or changed bytes.
void expectKept(const memfs::Snapshot& before, const std::vector<std::string>& mayChange = {});

// Crashes unless the seventeen images exist under `outputPath`, each with a header whose
// lengths and check sums agree with its bytes.
void expectValidImages(const std::string& outputPath);

// The arguments of a command line: the program name, then the pieces of `bytes` between NUL
// bytes, at most `limit` of them.
std::vector<std::string> splitArguments(std::string_view bytes, std::size_t limit);

// Runs a program's entry with `arguments` (program name first) as argc and argv.
int runWith(int (*entry)(int, char**), std::vector<std::string>& arguments);

} // namespace fuzzsupport
