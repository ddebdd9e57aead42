// Win32 implementation of the file services, on the system's kernel library.
#include "platform.h"

#include "fault_points.h"

#include <climits>
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

} // namespace platform
