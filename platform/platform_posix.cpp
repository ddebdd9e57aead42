// POSIX implementation of the file services. Every operation asks its failure point first
// (a constant false outside the fault-sweep variant, see fault_points.h).
#include "platform.h"

#include "fault_points.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int descriptor(const File& file) {
    return static_cast<int>(file.handle);
}

bool isDirectory(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return a[i] == '\0' && i == b.size();
}

} // namespace

SwitchRule nativeSwitchRule() {
    return SwitchRule::Posix;
}

bool openForReading(const char* path, File& file) {
    file.handle = -1;
    if (faultNow(FaultOp::Open)) {
        errno = EIO;
        return false;
    }
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1)
        return false;
    // On the tool chain's own platform a directory cannot be opened as a file; here it
    // opens and only its read fails, so refuse it at once.
    if (isDirectory(fd)) {
        close(fd);
        return false;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    file.handle = fd;
    return true;
}

bool readBytes(File& file, void* buffer, std::size_t size, std::size_t& bytesRead) {
    bytesRead = 0;
    if (faultNow(FaultOp::Read)) {
        errno = EIO;
        return false;
    }
    ssize_t got;
    do {
        got = read(descriptor(file), buffer, size);
    } while (got == -1 && errno == EINTR);
    if (got < 0)
        return false;
    bytesRead = static_cast<std::size_t>(got);
    return true;
}

bool createForWriting(const char* path, File& file) {
    file.handle = -1;
    if (faultNow(FaultOp::Create)) {
        errno = ENOSPC;
        return false;
    }
    int fd;
    do {
        fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1)
        return false;
    file.handle = fd;
    return true;
}

bool writeAll(File& file, const void* data, std::size_t size) {
    if (faultNow(FaultOp::Write)) {
        errno = ENOSPC;
        return false;
    }
    if (size == 0)
        return true;
    ssize_t written;
    do {
        written = write(descriptor(file), data, size);
    } while (written == -1 && errno == EINTR);
    return written >= 0 && static_cast<std::size_t>(written) == size;
}

bool closeFile(File& file) {
    if (!isOpen(file))
        return true;
    // A failed close still releases the descriptor, as the system's own does.
    const bool fault = faultNow(FaultOp::Close);
    int result = close(descriptor(file));
    file.handle = -1;
    if (fault) {
        errno = EIO;
        return false;
    }
    return result == 0;
}

bool fileSize(const File& file, std::uint64_t& size) {
    size = 0;
    struct stat info;
    if (fstat(descriptor(file), &info) != 0 || info.st_size < 0)
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool mapReadOnly(const File& file, std::uint64_t size, MappedView& view) {
    unmapView(view);
    if (faultNow(FaultOp::Map)) {
        errno = ENOMEM;
        return false;
    }
    if (size == 0)
        return true; // an empty file has an empty view; mmap refuses length 0
    if (size > static_cast<std::uint64_t>(SIZE_MAX))
        return false;
    void* address =
        mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, descriptor(file), 0);
    if (address == MAP_FAILED)
        return false;
    view.data = static_cast<const unsigned char*>(address);
    view.size = static_cast<std::size_t>(size);
    view.mapping = address;
    return true;
}

void unmapView(MappedView& view) {
    if (view.mapping != nullptr)
        munmap(view.mapping, view.size);
    view.forget();
}

bool existsAsFile(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

bool existsAsDirectory(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool regularFileSize(const char* path, std::uint64_t& size) {
    size = 0;
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0)
        return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

namespace {

FileIdentity identityOf(const struct stat& info) {
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

} // namespace

bool identifyFile(const char* path, FileIdentity& id) {
    id = FileIdentity{};
    struct stat info;
    if (stat(path, &info) != 0)
        return false;
    id = identityOf(info);
    return true;
}

bool identifyOpenFile(const File& file, FileIdentity& id) {
    id = FileIdentity{};
    struct stat info;
    if (!isOpen(file) || fstat(descriptor(file), &info) != 0)
        return false;
    id = identityOf(info);
    return true;
}

bool findFileIgnoringCase(const std::string& directory, const std::string& name,
                          std::string& found) {
    found.clear();
    const std::string where = directory.empty() ? std::string(".") : directory;
    DIR* dir = opendir(where.c_str());
    if (dir == nullptr)
        return false;
    bool any = false;
    while (struct dirent* entry = readdir(dir)) {
        if (!equalIgnoringCase(entry->d_name, name))
            continue;
        std::string candidate = where;
        if (candidate.back() != '/')
            candidate += '/';
        candidate += entry->d_name;
        if (!existsAsFile(candidate.c_str()))
            continue;
        if (!any || entry->d_name < found) {
            found = entry->d_name;
            any = true;
        }
    }
    closedir(dir);
    return any;
}

} // namespace platform
