// Win32 implementation of the file services, on the system's kernel library.
#include "platform.h"

#include <algorithm>

#include "fault_points.h"
#include "output_steps.h"

#include <climits>
#include <cstdio>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

HANDLE handleOf(const File& file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

std::intptr_t handleValue(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

// The ANSI entry points of the file services take at most MAX_PATH characters, also as the
// full path a relative one becomes. A longer path is widened in the code page those entry
// points use, made absolute and given the "\\?\" prefix that lifts the limit; every other
// path goes to the ANSI entry point as it stands.
class SystemPath {
  public:
    explicit SystemPath(const char* path) : narrow_(path) {
        const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
        const int length = MultiByteToWideChar(codePage, 0, path, -1, nullptr, 0);
        if (length <= 0)
            return;
        std::wstring given(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(codePage, 0, path, -1, given.data(), length);
        given.pop_back();
        if (given.rfind(L"\\\\?\\", 0) == 0) {
            // Already in the long form, which the system takes without any change.
            if (given.size() >= MAX_PATH)
                wide_ = given;
            return;
        }
        const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
        if (needed == 0)
            return;
        std::wstring full(needed, L'\0');
        const DWORD written = GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
        if (written == 0 || written >= needed)
            return;
        full.resize(written);
        if (full.size() < MAX_PATH && given.size() < MAX_PATH)
            return;
        if (full.rfind(L"\\\\", 0) == 0)
            wide_ = L"\\\\?\\UNC\\" + full.substr(2); // \\server\share\...
        else
            wide_ = L"\\\\?\\" + full;
    }

    bool isWide() const { return !wide_.empty(); }
    const char* narrow() const { return narrow_; }
    const wchar_t* wide() const { return wide_.c_str(); }

  private:
    const char* narrow_;
    std::wstring wide_;
};

HANDLE openPath(const char* path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN) {
    const SystemPath name(path);
    if (name.isWide())
        return CreateFileW(name.wide(), access, share, nullptr, disposition, flags, nullptr);
    return CreateFileA(name.narrow(), access, share, nullptr, disposition, flags, nullptr);
}

// Opens whatever `path` names, a directory included, only to ask the system about it: no
// access to its bytes, and every kind of sharing, so no other program is disturbed.
HANDLE openForQuery(const char* path) {
    return openPath(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS);
}

bool identityOf(HANDLE handle, FileIdentity& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    id = FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

// A path in the code page of the ANSI entry points, as UTF-16.
std::wstring widen(const std::string& path) {
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    const int length = MultiByteToWideChar(codePage, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, path.c_str(), -1, wide.data(), length);
    wide.pop_back();
    return wide;
}

DWORD attributesOf(const char* path) {
    const SystemPath name(path);
    return name.isWide() ? GetFileAttributesW(name.wide()) : GetFileAttributesA(name.narrow());
}

// One request of ReadFile or WriteFile moves at most a DWORD of bytes; stay well below it.
constexpr std::size_t MaxRequest = 1u << 30;

} // namespace

SwitchRule nativeSwitchRule() {
    return SwitchRule::Windows;
}

bool openForReading(const char* path, File& file) {
    file.handle = -1;
    if (faultNow(FaultOp::Open)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Without the backup-semantics flag a directory cannot be opened, as the programs expect.
    file.handle = handleValue(openPath(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    return isOpen(file);
}

bool readBytes(File& file, void* buffer, std::size_t size, std::size_t& bytesRead) {
    bytesRead = 0;
    if (faultNow(FaultOp::Read)) {
        SetLastError(ERROR_READ_FAULT);
        return false;
    }
    DWORD got = 0;
    const DWORD request = static_cast<DWORD>(size < MaxRequest ? size : MaxRequest);
    if (!ReadFile(handleOf(file), buffer, request, &got, nullptr)) {
        // A pipe whose writer has closed its end is at its end, as a file is.
        return GetLastError() == ERROR_BROKEN_PIPE;
    }
    bytesRead = got;
    return true;
}

bool createForWriting(const char* path, File& file) {
    file.handle = -1;
    if (faultNow(FaultOp::Create)) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    file.handle = handleValue(openPath(path, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS));
    return isOpen(file);
}

bool writeAll(File& file, const void* data, std::size_t size) {
    if (faultNow(FaultOp::Write)) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD request = static_cast<DWORD>(size < MaxRequest ? size : MaxRequest);
        DWORD written = 0;
        if (!WriteFile(handleOf(file), bytes, request, &written, nullptr) || written != request)
            return false;
        bytes += request;
        size -= request;
    }
    return true;
}

bool closeFile(File& file) {
    if (!isOpen(file))
        return true;
    // A failed close still releases the handle, as the system's own does.
    const bool fault = faultNow(FaultOp::Close);
    const BOOL closed = CloseHandle(handleOf(file));
    file.handle = -1;
    if (fault) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return closed != 0;
}

// ---- Outputs written whole ----------------------------------------------------------------

namespace {

// The temporaries that an interruption removes. The console's control handler runs in a thread
// of its own, so the list is kept under a lock, which the commit of a set takes and keeps to the
// end of the process: an interruption from then on waits for the run to end as the commit
// leaves it.
struct Temporaries {
    CRITICAL_SECTION lock;
    std::vector<std::string> paths;
    bool held = false;
    // Set by a closed console, logoff or shutdown: the system ends the process a few seconds
    // later, so a refused rename is no longer tried again.
    volatile LONG closing = 0;
};

Temporaries& temporaries() {
    static Temporaries* list = [] {
        auto* created = new Temporaries;
        InitializeCriticalSection(&created->lock);
        return created;
    }();
    return *list;
}

bool deletePath(const std::string& path) {
    const SystemPath name(path.c_str());
    return name.isWide() ? DeleteFileW(name.wide()) != 0 : DeleteFileA(name.narrow()) != 0;
}

// Ctrl+C, Ctrl+Break, a closed console, logoff or shutdown: removes the temporaries and lets
// the next handler, the system's, end the process as it would have. The lock stays taken, so
// that the program makes no new temporary before it ends. During a commit the lock is the
// commit's: the handler waits, and the main thread ends the run as the commit leaves it (after a
// close, within the system's grace period, as nothing is tried again).
BOOL WINAPI removeTemporariesOnInterruption(DWORD event) {
    Temporaries& list = temporaries();
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        InterlockedExchange(&list.closing, 1);
    EnterCriticalSection(&list.lock);
    for (const std::string& path : list.paths)
        deletePath(path);
    list.paths.clear();
    return FALSE;
}

void rememberTemporary(const std::string& path) {
    static bool installed = false;
    Temporaries& list = temporaries();
    EnterCriticalSection(&list.lock);
    if (!installed)
        installed = SetConsoleCtrlHandler(removeTemporariesOnInterruption, TRUE) != 0;
    list.paths.push_back(path);
    LeaveCriticalSection(&list.lock);
}

bool namesAFile(const std::string& path) {
    std::string folder, name;
    splitPath(path, folder, name);
    return !name.empty() && name != "." && name != "..";
}

// A symbolic link or junction in the output's place leads to the file that it ends at.
bool followLinks(const std::string& path, std::string& final) {
    final = path;
    const DWORD attributes = attributesOf(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return true;
    HANDLE handle = openForQuery(path.c_str());
    if (handle == INVALID_HANDLE_VALUE)
        return true; // a link to nothing yet: written as a new file in the link's place
    char buffer[32768];
    const DWORD length = GetFinalPathNameByHandleA(handle, buffer, sizeof buffer,
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(handle);
    if (length == 0 || length >= sizeof buffer)
        return false;
    final.assign(buffer, length);
    return true;
}

std::string temporaryBeside(const std::string& path, const char* kind) {
    std::string folder, name;
    splitPath(path, folder, name);
    return steps::temporaryName(folder, name, static_cast<unsigned long>(GetCurrentProcessId()),
                                kind);
}

// Virus scanners and indexers open new files for a moment: a rename refused with access
// denied or a sharing violation is tried again for about two seconds.
bool refusedForAMoment(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

bool closing() {
    return InterlockedCompareExchange(&temporaries().closing, 0, 0) != 0;
}

bool movePath(const std::string& from, const std::string& to, DWORD flags) {
    const SystemPath source(from.c_str());
    const SystemPath target(to.c_str());
    for (int attempt = 0;; ++attempt) {
        BOOL moved;
        if (source.isWide() || target.isWide()) {
            const std::wstring wideSource = source.isWide() ? source.wide() : widen(from);
            const std::wstring wideTarget = target.isWide() ? target.wide() : widen(to);
            moved = MoveFileExW(wideSource.c_str(), wideTarget.c_str(), flags);
        } else {
            moved = MoveFileExA(from.c_str(), to.c_str(), flags);
        }
        if (moved)
            return true;
        if (attempt == 40 || !refusedForAMoment(GetLastError()) || closing())
            return false;
        Sleep(50);
    }
}

} // namespace

bool beginOutput(const char* path, OutputFile& output) {
    output.file.handle = -1;
    output.temporary.clear();
    if (faultNow(FaultOp::Create)) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    if (!namesAFile(path) || !followLinks(path, output.path))
        return false;
    const char* final = output.path.c_str();
    if (existsAsDirectory(final))
        return false;
    std::uint64_t size = 0;
    if (existsAsFile(final) && !regularFileSize(final, size)) {
        // A device or a pipe: written in place, as it has no contents to keep.
        output.file.handle =
            handleValue(openPath(final, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS));
        return isOpen(output.file);
    }
    if (existsAsFile(final)) {
        // Replaced only when it could be opened for writing, as writing it in place would need:
        // not read-only, not held by a program that lets nobody write.
        HANDLE probe =
            openPath(final, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
        if (probe == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(probe);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = temporaryBeside(output.path, "");
        // Known to the removal on an interruption before it exists, so that none is left.
        rememberTemporary(temporary);
        // Shared for deleting: an interruption removes the temporary while it is still open.
        HANDLE handle = openPath(temporary.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            steps::forgetTemporary(temporary);
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            SetLastError(error);
            return false;
        }
        output.temporary = temporary;
        output.file.handle = handleValue(handle);
        return true;
    }
    return false;
}

namespace steps {

namespace {

// Keeps the file at `path` under a new temporary name, `aside`: a second name of the same file
// (a hard link), or where the file system makes none (FAT, exFAT), a copy, so that `path`
// itself holds the file all along. True with `aside` empty when nothing is at `path`.
bool keepAside(const std::string& path, std::string& aside) {
    aside.clear();
    if (!existsAsFile(path.c_str()))
        return true;
    // A file that another program holds open without letting it be deleted cannot be
    // replaced; refuse before anything of the set is touched.
    for (int attempt = 0;; ++attempt) {
        HANDLE probe =
            openPath(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            break;
        }
        if (attempt == 40 || !refusedForAMoment(GetLastError()) || closing())
            return false;
        Sleep(50);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryBeside(path, ".old");
        const SystemPath link(name.c_str());
        const SystemPath existing(path.c_str());
        BOOL linked = FALSE;
        if (hardLinkRefused())
            SetLastError(ERROR_INVALID_FUNCTION); // what FAT answers
        else if (link.isWide() || existing.isWide())
            linked =
                CreateHardLinkW(link.isWide() ? link.wide() : widen(name).c_str(),
                                existing.isWide() ? existing.wide() : widen(path).c_str(), nullptr);
        else
            linked = CreateHardLinkA(name.c_str(), path.c_str(), nullptr);
        if (linked) {
            aside = name;
            return true;
        }
        if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS)
            continue;
        // No hard links on this file system (FAT): a copy of the file instead.
        if (faultNow(FaultOp::Create)) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        File copy;
        copy.handle = handleValue(
            openPath(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW));
        if (!isOpen(copy)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return false;
        }
        if (copyInto(path, copy)) {
            aside = name;
            return true;
        }
        const DWORD error = GetLastError();
        closeFile(copy);
        deletePath(name);
        SetLastError(error);
        return false;
    }
    return false;
}

} // namespace

bool replaceFile(const std::string& from, const std::string& to, bool keepPrevious,
                 std::string& previous) {
    previous.clear();
    if (faultNow(FaultOp::Rename)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (keepPrevious && !keepAside(to, previous))
        return false;
    if (movePath(from, to, MOVEFILE_REPLACE_EXISTING))
        return true;
    // `to` still holds its file: the second name or the copy goes.
    const DWORD error = GetLastError();
    if (!previous.empty())
        deletePath(previous);
    previous.clear();
    SetLastError(error);
    return false;
}

bool putBackFile(const std::string& previous, const std::string& to) {
    if (faultNow(FaultOp::Rename)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return movePath(previous, to, MOVEFILE_REPLACE_EXISTING);
}

void removeFile(const std::string& path) {
    if (!faultNow(FaultOp::Remove))
        deletePath(path);
}

void forgetTemporary(const std::string& path) {
    Temporaries& list = temporaries();
    EnterCriticalSection(&list.lock);
    for (std::size_t i = 0; i < list.paths.size(); ++i) {
        if (list.paths[i] == path) {
            list.paths.erase(list.paths.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    LeaveCriticalSection(&list.lock);
}

// Takes the lock for good: a console event's handler waits on it until the process ends.
void holdInterruptions() {
    Temporaries& list = temporaries();
    if (list.held)
        return;
    EnterCriticalSection(&list.lock);
    list.held = true;
}

// What Ctrl+C does to the process, without a console to send it through: the handler, then
// the system's end of the process. During and after a commit it waits, as the handler would.
void interruptProcess() {
    Temporaries& list = temporaries();
    if (list.held)
        return;
    removeTemporariesOnInterruption(CTRL_C_EVENT);
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

} // namespace steps

bool fileSize(const File& file, std::uint64_t& size) {
    size = 0;
    LARGE_INTEGER value;
    if (!GetFileSizeEx(handleOf(file), &value) || value.QuadPart < 0)
        return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool mapReadOnly(const File& file, std::uint64_t size, MappedView& view) {
    unmapView(view);
    if (faultNow(FaultOp::Map)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (size == 0)
        return true; // the system refuses to map an empty file; an empty view needs no mapping
    if (size > static_cast<std::uint64_t>(SIZE_MAX))
        return false;
    HANDLE mapping =
        CreateFileMappingA(handleOf(file), nullptr, PAGE_READONLY, static_cast<DWORD>(size >> 32),
                           static_cast<DWORD>(size & 0xFFFFFFFFu), nullptr);
    if (mapping == nullptr)
        return false;
    // An unnamed mapping cannot exist already; if the system says so, it is not ours.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mapping);
        return false;
    }
    const void* address = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
    if (address == nullptr) {
        CloseHandle(mapping);
        return false;
    }
    view.data = static_cast<const unsigned char*>(address);
    view.size = static_cast<std::size_t>(size);
    view.mapping = mapping;
    return true;
}

void unmapView(MappedView& view) {
    if (view.mapping != nullptr) {
        UnmapViewOfFile(view.data);
        CloseHandle(static_cast<HANDLE>(view.mapping));
    }
    view.forget();
}

bool existsAsFile(const char* path) {
    const DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    // A device or a pipe has no attributes to tell, yet it is there and may be opened.
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
        return false;
    default:
        return true;
    }
}

bool existsAsDirectory(const char* path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool regularFileSize(const char* path, std::uint64_t& size) {
    size = 0;
    HANDLE handle = openForQuery(path);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    // A file on a disk, not a directory: a console, printer or pipe is of another type.
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER value;
    const bool regular = GetFileType(handle) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(handle, &info) &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                         GetFileSizeEx(handle, &value) && value.QuadPart >= 0;
    CloseHandle(handle);
    if (!regular)
        return false;
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool identifyFile(const char* path, FileIdentity& id) {
    id = FileIdentity{};
    HANDLE handle = openForQuery(path);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool known = identityOf(handle, id);
    CloseHandle(handle);
    if (!known)
        id = FileIdentity{};
    return known;
}

bool identifyOpenFile(const File& file, FileIdentity& id) {
    id = FileIdentity{};
    return isOpen(file) && identityOf(handleOf(file), id);
}

bool findFileIgnoringCase(const std::string& directory, const std::string& name,
                          std::string& found) {
    found.clear();
    // File names on Windows are compared without regard to letter case by the file system
    // itself: one lookup of the name finds the entry and tells how its name is stored. A
    // wildcard would turn the lookup into a search, so such a name names nothing.
    if (name.empty() || name.find_first_of("*?") != std::string::npos)
        return false;
    std::string path = directory;
    if (!path.empty() && path.back() != '/' && path.back() != '\\' && path.back() != ':')
        path += '\\';
    path += name;
    const SystemPath systemName(path.c_str());
    HANDLE search;
    bool isDirectory;
    if (systemName.isWide()) {
        WIN32_FIND_DATAW entry;
        search = FindFirstFileW(systemName.wide(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return false;
        isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
        char narrow[MAX_PATH * 4];
        const int length = WideCharToMultiByte(codePage, 0, entry.cFileName, -1, narrow,
                                               sizeof narrow, nullptr, nullptr);
        if (length > 0)
            found = narrow;
    } else {
        WIN32_FIND_DATAA entry;
        search = FindFirstFileA(systemName.narrow(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return false;
        isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        found = entry.cFileName;
    }
    FindClose(search);
    if (isDirectory || found.empty()) {
        found.clear();
        return false;
    }
    return true;
}

bool listFilesMatching(const std::string& directory, std::string_view prefix,
                       std::string_view suffix, std::vector<std::string>& names) {
    names.clear();
    // The file system matches the pattern without regard to letter case; short (8.3) names
    // can match it too, so each entry's long name is checked again.
    std::string path = directory;
    if (!path.empty() && path.back() != '/' && path.back() != '\\' && path.back() != ':')
        path += '\\';
    path += std::string(prefix) + "*" + std::string(suffix);
    const SystemPath systemName(path.c_str());
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    HANDLE search;
    if (systemName.isWide()) {
        WIN32_FIND_DATAW entry;
        search = FindFirstFileW(systemName.wide(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        do {
            char narrow[MAX_PATH * 4];
            const int length = WideCharToMultiByte(codePage, 0, entry.cFileName, -1, narrow,
                                                   sizeof narrow, nullptr, nullptr);
            if (length > 0 && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                nameMatches(narrow, prefix, suffix))
                names.push_back(narrow);
        } while (FindNextFileW(search, &entry));
    } else {
        WIN32_FIND_DATAA entry;
        search = FindFirstFileA(systemName.narrow(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                nameMatches(entry.cFileName, prefix, suffix))
                names.push_back(entry.cFileName);
        } while (FindNextFileA(search, &entry));
    }
    FindClose(search);
    std::sort(names.begin(), names.end());
    return true;
}

} // namespace platform
