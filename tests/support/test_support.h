// Helpers shared by the tests: running a built program, temporary folders, whole files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// What a program run left behind: its exit status (0 to 255, or -1 when it did not exit
// normally) and everything it wrote to standard output and standard error, in order.
struct RunResult {
    int exitStatus = -1;
    std::string output;
};

// Runs `program` with `args` (the program name is added in front), standard input empty,
// in `workDir` when it is not empty.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir = {});

// Sets a variable of this process's environment, which the programs it runs inherit; an empty
// value removes it.
void setEnvironment(const std::string& name, const std::string& value);

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the folder.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
bool fileExists(const std::string& path);

// Folder of the hand-written test data (tests/data).
std::string testDataDir();
// Folder of the real listings, maps and executables beside the checkout; "" when absent.
std::string realDataDir();

} // namespace testsupport
