// File services that the three programs take from the operating system.
//
// This header is the only seam between the tool chain and the operating system: no other
// folder includes a system header. Every operation reports success as a bool and never
// throws; a failed operation leaves its output arguments in a defined "nothing" state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Marks a printf-like function for the compiler's check of its calls. The MinGW compiler
// checks the archetype "printf" by the rules of the system's old C runtime, which lacks "%zu";
// C++ programs built with it print through its C99-conforming formatting, so check by those.
#if defined(__MINGW32__)
#define PLATFORM_PRINTF_FORMAT(formatIndex, firstArgument)                                         \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define PLATFORM_PRINTF_FORMAT(formatIndex, firstArgument)                                         \
    __attribute__((format(printf, formatIndex, firstArgument)))
#endif

namespace platform {

// How a command-line or command-file argument is told to be a switch. On the tool chain's own
// platform every argument that begins with "/" or "-" is one. On POSIX an absolute path begins
// with "/", so there only "-..." and the exact "/w" of existing build scripts are switches.
enum class SwitchRule { Posix, Windows };

// The rule of the system the programs run on.
SwitchRule nativeSwitchRule();

// How this system ends the file names of programs: ".exe" on Windows, nothing on POSIX. The
// usage texts name the program as the user types it.
inline const char* programSuffix() {
#if defined(_WIN32)
    return ".exe";
#else
    return "";
#endif
}

inline bool isSwitch(std::string_view argument, SwitchRule rule) {
    if (argument.empty())
        return false;
    if (argument[0] == '-')
        return true;
    return argument[0] == '/' && (rule == SwitchRule::Windows || argument == "/w");
}

inline bool isSwitch(std::string_view argument) {
    return isSwitch(argument, nativeSwitchRule());
}

// An argument that asks a program for its help ("-h", "--help", and on the tool chain's own
// platform also "/?") or its version ("--version") instead of a run.
enum class InfoRequest { None, Help, Version };

inline InfoRequest infoRequest(std::string_view argument, SwitchRule rule) {
    if (argument == "-h" || argument == "--help" ||
        (rule == SwitchRule::Windows && argument == "/?"))
        return InfoRequest::Help;
    return argument == "--version" ? InfoRequest::Version : InfoRequest::None;
}

inline InfoRequest infoRequest(std::string_view argument) {
    return infoRequest(argument, nativeSwitchRule());
}

// The request of a command line that holds nothing but it. Beside other arguments, or in a
// command file, these arguments keep their meaning as switches or paths.
inline InfoRequest soleInfoRequest(int argc, const char* const* argv) {
    return argc == 2 ? infoRequest(argv[1]) : InfoRequest::None;
}

struct File;
struct MappedView;
bool closeFile(File& file);
void unmapView(MappedView& view);

// An open file. `handle` is the system's descriptor or handle, -1 when closed. The file owns
// it: it can be moved but not copied, and it is closed when the File goes out of scope. A
// program that must report a failed close (an output it wrote) calls closeFile itself; the
// destructor closes what an early return left open, whose failure nobody is told of.
struct File {
    std::intptr_t handle = -1;

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : handle(other.handle) { other.handle = -1; }
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            closeFile(*this);
            handle = other.handle;
            other.handle = -1;
        }
        return *this;
    }
    ~File() { closeFile(*this); }
};

inline bool isOpen(const File& file) {
    return file.handle != -1;
}

// Opens an existing file for reading; others may read it at the same time; the system is
// told that the file will be read front to back. A directory cannot be opened.
bool openForReading(const char* path, File& file);

// Reads up to `size` bytes. On success `bytesRead` is the count, 0 at the end of the file.
// Returns false on a read error (bytesRead is then 0).
bool readBytes(File& file, void* buffer, std::size_t size, std::size_t& bytesRead);

// Creates a file for writing, or replaces an existing one (its old contents dropped).
bool createForWriting(const char* path, File& file);

// Writes all `size` bytes in one request; a failed call or a short write is a failure.
bool writeAll(File& file, const void* data, std::size_t size);

// Closes the file and reports whether the system closed it cleanly. Closing a file that is
// not open does nothing and succeeds.
bool closeFile(File& file);

struct OutputFile;
void discardOutput(OutputFile& output);

// An output written whole or not at all. A regular file, or a path where nothing is yet, is
// written to a temporary file beside the file it replaces (symbolic links followed to that
// file), named "." + the output's name + a unique part + ".tmp", created exclusively; only a
// complete temporary is renamed onto the output's name, so that name holds either what it held
// before or the whole new file. An existing file that is not a regular file (a device, a pipe)
// is written in place, `temporary` then empty. The output owns its temporary: one that goes
// out of scope uncommitted removes it. It moves but does not copy.
struct OutputFile {
    File file;
    std::string path;      // the file the output becomes: the given path, links followed
    std::string temporary; // the temporary written instead; empty when written in place
    // After a commit that failed: where the earlier contents of `path` are when they could not
    // be put back under it (`path` then holds the new file); empty otherwise.
    std::string kept;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile(OutputFile&& other) noexcept
        : file(std::move(other.file)), path(std::move(other.path)),
          temporary(std::move(other.temporary)), kept(std::move(other.kept)) {
        other.temporary.clear();
    }
    OutputFile& operator=(OutputFile&& other) noexcept {
        if (this != &other) {
            discardOutput(*this);
            file = std::move(other.file);
            path = std::move(other.path);
            temporary = std::move(other.temporary);
            kept = std::move(other.kept);
            other.temporary.clear();
        }
        return *this;
    }
    ~OutputFile() { discardOutput(*this); }
};

// Opens the output for writing. Refuses, before anything is created, a folder in the output's
// place, a path that cannot name a file (empty, ending in a separator, "." or ".."), and an
// existing file that could not be opened for writing (as replacing it in place would fail).
// A replaced file's permission bits, without set-user-ID and set-group-ID, go onto the
// temporary; a new file gets the usual mode. Until it is committed or discarded, the temporary
// is removed when the process is interrupted (SIGINT, SIGTERM, SIGHUP, SIGPIPE; Ctrl+C or a
// closed console on Windows); it is known to that removal before it is created.
bool beginOutput(const char* path, OutputFile& output);

// Closes the output's file; false when the system could not close it cleanly. The temporary
// stays until it is committed or discarded.
bool closeOutput(OutputFile& output);

// Renames the closed temporaries of `count` outputs onto their names, in order, as one set.
// For a set of more than one, each replaced file is kept aside under a temporary name (a second
// name of it, or where the file system has none, a copy) until the last rename has succeeded,
// and only then removed. On a refused rename every name renamed before it gets back what it
// held before the run, every temporary is removed, `failed` is the index of the refused output
// and the result is false; an earlier file that cannot be put back stays under its kept name,
// given in that output's `kept`. From the first rename to the end of the process interruptions
// are held: the run ends as the commit ends it, with the set in place or put back.
bool commitOutputs(OutputFile* outputs, std::size_t count, std::size_t& failed);

// Closes the output's file if open and removes its temporary; the output's name is untouched.
void discardOutput(OutputFile& output);

// Size in bytes of an open file.
bool fileSize(const File& file, std::uint64_t& size);

// A read-only view of all bytes of one file, valid until `unmapView` or until the view goes
// out of scope. Like File it owns what it holds: movable, not copyable.
struct MappedView {
    const unsigned char* data = nullptr; // null for an empty file
    std::size_t size = 0;
    void* mapping = nullptr; // the system's mapping, null when nothing is mapped

    MappedView() = default;
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    MappedView(MappedView&& other) noexcept
        : data(other.data), size(other.size), mapping(other.mapping) {
        other.forget();
    }
    MappedView& operator=(MappedView&& other) noexcept {
        if (this != &other) {
            unmapView(*this);
            data = other.data;
            size = other.size;
            mapping = other.mapping;
            other.forget();
        }
        return *this;
    }
    ~MappedView() { unmapView(*this); }

    // Back to the empty view without releasing anything: for the file services once they
    // have released the mapping themselves.
    void forget() {
        data = nullptr;
        size = 0;
        mapping = nullptr;
    }
};

// Maps the first `size` bytes of an open file (its whole size) read-only, releasing what
// `view` held before. A size of 0 gives an empty view without asking the system for a mapping.
bool mapReadOnly(const File& file, std::uint64_t size, MappedView& view);

// Releases the view; an empty or already released view is left as it is.
void unmapView(MappedView& view);

// True when `path` names an existing entry that is not a directory.
bool existsAsFile(const char* path);

// True when `path` names an existing directory.
bool existsAsDirectory(const char* path);

// True when `c` ends a folder's part of a path: "/" on both systems, also "\\" and the ":"
// of a drive letter on Windows.
inline bool isPathSeparator(char c, SwitchRule rule) {
    return c == '/' || (rule == SwitchRule::Windows && (c == '\\' || c == ':'));
}

// The output path as the splitter and the joiner put it in front of every file name. A path
// that names an existing folder, or a link to one, and does not end with a separator is that
// folder: its separator is added, so that "images" writes "images/Plc_main.bin" and not
// "imagesPlc_main.bin" beside it. Any other path is a prefix of the names as it stands
// ("out/v2_" gives "out/v2_Plc_main.bin").
inline std::string outputFolderPrefix(const std::string& path) {
    const SwitchRule rule = nativeSwitchRule();
    if (path.empty() || isPathSeparator(path.back(), rule) || !existsAsDirectory(path.c_str()))
        return path;
    return path + (rule == SwitchRule::Windows ? '\\' : '/');
}

// True when `path` names a regular file: not a directory, device, pipe or socket, so its bytes
// can be looked at without taking them from anyone. `size` is then its length.
bool regularFileSize(const char* path, std::uint64_t& size);

// What tells one file from another whatever path leads to it: device and inode on POSIX,
// volume serial number and file index on Windows. Two paths, links among them, name the same
// file exactly when their identities are equal; path texts are never compared.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
};

// The identity of the file `path` leads to; false when nothing is there.
bool identifyFile(const char* path, FileIdentity& id);

// The identity of an open file.
bool identifyOpenFile(const File& file, FileIdentity& id);

inline bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// Looks in `directory` ("" for the current directory) for an entry that is not a directory
// and whose name equals `name` ignoring ASCII letter case. Of several such entries the one
// lowest in byte order wins. On success `found` is the entry's name as stored.
bool findFileIgnoringCase(const std::string& directory, const std::string& name,
                          std::string& found);

// True when two file names are the same but for the letter case of ASCII letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);

// The folder part of a path with its last separator ("/"; on Windows also "\\" or a drive's
// ":"), "" for a bare name, and the name after it.
void splitPath(const std::string& path, std::string& folder, std::string& name);

// True when `name` begins with `prefix` and ends with `suffix`, ASCII letter case ignored (the
// two not overlapping).
bool nameMatches(std::string_view name, std::string_view prefix, std::string_view suffix);

// The names of the entries of `directory` ("" for the current directory) that are not
// directories and that begin with `prefix` and end with `suffix`, letter case ignored, in byte
// order. False when the directory cannot be read.
bool listFilesMatching(const std::string& directory, std::string_view prefix,
                       std::string_view suffix, std::vector<std::string>& names);

} // namespace platform
