// Helpers shared by the tests: running a built program, temporary folders, whole files.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plcgen {
struct ProgramLayout;
}

namespace testsupport {

// The exit status of a program whose main returned -1: the low eight bits of it on POSIX,
// the whole 32-bit exit code on Windows.
#ifdef _WIN32
inline constexpr std::int64_t FailureStatus = 0xFFFFFFFF;
#else
inline constexpr std::int64_t FailureStatus = 255;
#endif

// What a program run left behind: its exit status (-1 when it did not exit normally) and
// everything it wrote to standard output and standard error, in order. On Windows standard
// output is a text stream that turns each line feed into a carriage return and a line feed;
// `output` undoes that when every line feed came so, `rawOutput` keeps the bytes as they came.
struct RunResult {
    std::int64_t exitStatus = -1;
    std::string output;
    std::string rawOutput;
};

// Runs `program` with `args` (the program name is added in front), standard input empty,
// in `workDir` when it is not empty.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir = {});

// Makes `link` a symbolic link to `target`; false where the system makes none (on Windows it
// takes a privilege that a build rarely has, and the MinGW runtime under Wine makes none).
bool makeSymbolicLink(const std::string& target, const std::string& link);

// The system's device that swallows every write and reads as empty.
#ifdef _WIN32
inline constexpr const char* NullDevice = "NUL";
#else
inline constexpr const char* NullDevice = "/dev/null";
#endif

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
// Every file below `folder` with its bytes, by its path relative to `folder` ("/" between).
std::map<std::string, std::string> folderFiles(const std::string& folder);

// A path that opens for reading but whose first read fails: on POSIX the process's own memory,
// whose first page is never mapped; on Windows a named pipe that is cut off as soon as the
// program has opened it.
class UnreadableFile {
  public:
    UnreadableFile();
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

    const std::string& path() const { return path_; }

  private:
    struct Server;
    std::unique_ptr<Server> server_;
    std::string path_;
};

// A device on which every write fails as on a full disk, "" when the system has none.
std::string fullDevicePath();

#ifdef _WIN32
// Holds a file open as another program would: for writing or for reading, letting others
// read when `shareReading` and write when `shareWriting`, and never delete or rename it.
class HeldFile {
  public:
    HeldFile(const std::string& path, bool forWriting, bool shareReading,
             bool shareWriting = false);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool isOpen() const { return handle_ != nullptr; }

  private:
    void* handle_ = nullptr;
};

// True when the program runs under Wine rather than on Windows itself.
bool runningUnderWine();
#endif

// Writes the executable, the map and the make-file of a generated program as KORVEX.EXE,
// KORVEX.map and Make.knf in `dir`; a file that cannot be written fails the test.
void writeProject(const plcgen::ProgramLayout& layout, const std::string& dir);

// Folder of the hand-written test data (tests/data).
std::string testDataDir();
// Folder of the real listings, maps and executables beside the checkout; "" when absent.
std::string realDataDir();

} // namespace testsupport
