// POSIX implementation of the file services. Every operation asks its failure point first
// (a constant false outside the fault-sweep variant, see fault_points.h).
#include "platform.h"

#include "fault_points.h"

#include "output_steps.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
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

// ---- Outputs written whole ----------------------------------------------------------------

namespace {

// The temporaries that an interruption removes: fixed slots of fixed size, so that the signal
// handler reads them without allocating or locking. A slot is filled before it is marked used
// and marked unused before it is reused.
constexpr int TemporarySlots = 64;
struct TemporarySlot {
    volatile sig_atomic_t used = 0;
    char path[PATH_MAX];
};
TemporarySlot temporaries[TemporarySlots];

// SIGPIPE too: a run whose output is piped into a program that stops reading ("head") ends as
// an interrupted one.
const int InterruptingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void removeTemporariesAndEnd(int signalNumber) {
    for (TemporarySlot& slot : temporaries)
        if (slot.used)
            unlink(slot.path);
    // The handler was installed to run once: the signal, raised again, now ends the process
    // as it would have without the handler, once this handler returns.
    raise(signalNumber);
}

// Installs the handler for each interrupting signal that is not ignored (a run started with
// "nohup" stays deaf to SIGHUP).
void installInterruptHandlers() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (int signalNumber : InterruptingSignals) {
        struct sigaction current;
        if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = removeTemporariesAndEnd;
        sigemptyset(&action.sa_mask);
        for (int other : InterruptingSignals)
            sigaddset(&action.sa_mask, other);
        action.sa_flags = SA_RESETHAND;
        sigaction(signalNumber, &action, nullptr);
    }
}

void rememberTemporary(const std::string& path) {
    installInterruptHandlers();
    if (path.size() >= PATH_MAX)
        return; // cannot be kept for the handler; removed on every other way out
    for (TemporarySlot& slot : temporaries) {
        if (slot.used)
            continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.used = 1;
        return;
    }
}

sigset_t interruptingSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : InterruptingSignals)
        sigaddset(&set, signalNumber);
    return set;
}

// Follows symbolic links from `path` to the file they end at, which need not exist yet.
// `exists` tells whether it does; `info` is then what the system knows of it.
bool followLinks(const std::string& path, std::string& final, struct stat& info, bool& exists) {
    final = path;
    for (int depth = 0; depth < 40; ++depth) {
        exists = lstat(final.c_str(), &info) == 0;
        if (!exists || !S_ISLNK(info.st_mode))
            return true;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(final.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            return false;
        target.resize(static_cast<std::size_t>(length));
        if (target[0] != '/') {
            std::string folder, name;
            splitPath(final, folder, name);
            target = folder + target;
        }
        final = target;
    }
    errno = ELOOP;
    return false;
}

// A name the temporary files of `path` may take, in its folder.
std::string temporaryBeside(const std::string& path, const char* kind) {
    std::string folder, name;
    splitPath(path, folder, name);
    static const unsigned long process = static_cast<unsigned long>(getpid());
    return steps::temporaryName(folder, name, process, kind);
}

bool namesAFile(const std::string& path) {
    std::string folder, name;
    splitPath(path, folder, name);
    return !name.empty() && name != "." && name != "..";
}

// An existing file in the output's place may be replaced only when it could be opened for
// writing, as writing it in place would need.
bool mayBeWritten(const char* path) {
    return faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0;
}

// The permission bits that the system takes away from every new file of this process.
mode_t creationMask() {
    static const mode_t mask = [] {
        const mode_t current = umask(0);
        umask(current);
        return current;
    }();
    return mask;
}

int openInPlace(const char* path) {
    int fd;
    do {
        fd = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
    } while (fd == -1 && errno == EINTR);
    return fd;
}

} // namespace

bool beginOutput(const char* path, OutputFile& output) {
    output.file.handle = -1;
    output.temporary.clear();
    if (faultNow(FaultOp::Create)) {
        errno = ENOSPC;
        return false;
    }
    struct stat info;
    bool exists = false;
    if (!namesAFile(path) || !followLinks(path, output.path, info, exists))
        return false;
    if (exists && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or a pipe: written in place, as it has no contents to keep.
        const int fd = openInPlace(output.path.c_str());
        output.file.handle = fd;
        return fd != -1;
    }
    if (exists && !mayBeWritten(output.path.c_str()))
        return false;
    // A replaced file's mode goes onto the temporary: at its creation when the process's mask
    // leaves it whole, else set afterwards.
    const mode_t mode = exists ? (info.st_mode & 07777 & ~(S_ISUID | S_ISGID)) : 0666;
    const bool setMode = exists && (mode & (creationMask() | S_ISVTX)) != 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = temporaryBeside(output.path, "");
        // Known to the removal on an interruption before it exists, so that none is left.
        rememberTemporary(temporary);
        int fd;
        do {
            fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      setMode ? 0600 : mode);
        } while (fd == -1 && errno == EINTR);
        if (fd == -1) {
            const int error = errno;
            steps::forgetTemporary(temporary);
            if (error == EEXIST)
                continue;
            errno = error;
            return false;
        }
        output.temporary = temporary;
        output.file.handle = fd;
        // Where the file system keeps no such bits, the temporary keeps its owner-only mode.
        if (setMode)
            (void)fchmod(fd, mode);
        return true;
    }
    return false;
}

namespace steps {

namespace {

bool cannotLink(int error) {
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == EMLINK;
}

// Keeps the file at `path` under a new temporary name, `aside`: a second name of the same file
// (a hard link), or where the file system makes none (FAT, exFAT), a copy with its permission
// bits, so that `path` itself holds the file all along. True with `aside` empty when nothing is
// at `path`.
bool keepAside(const std::string& path, std::string& aside) {
    aside.clear();
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT; // nothing there to keep
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryBeside(path, ".old");
        if (!hardLinkRefused() && link(path.c_str(), name.c_str()) == 0) {
            aside = name;
            return true;
        }
        if (hardLinkRefused())
            errno = EPERM; // what FAT answers
        if (errno == EEXIST)
            continue;
        if (!cannotLink(errno))
            return false;
        File copy;
        if (faultNow(FaultOp::Create)) {
            errno = ENOSPC;
            return false;
        }
        do {
            copy.handle = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        } while (copy.handle == -1 && errno == EINTR);
        if (!isOpen(copy)) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        (void)fchmod(descriptor(copy), info.st_mode & 07777 & ~(S_ISUID | S_ISGID));
        if (copyInto(path, copy)) {
            aside = name;
            return true;
        }
        const int error = errno;
        closeFile(copy);
        unlink(name.c_str());
        errno = error;
        return false;
    }
    return false;
}

// Swaps the two names' files in one step where the system can: `to` then holds the new file
// and `from` the previous one. Renaming over a file instead makes some file systems (ext4)
// write the new file's blocks at once, a large part of a run's time.
bool exchangeFiles(const std::string& from, const std::string& to) {
    if (exchangeRefused()) {
        errno = EINVAL; // what a file system without the exchange answers
        return false;
    }
#ifdef RENAME_EXCHANGE
    return renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0;
#else
    (void)from;
    (void)to;
    errno = ENOSYS;
    return false;
#endif
}

} // namespace

bool replaceFile(const std::string& from, const std::string& to, bool keepPrevious,
                 std::string& previous) {
    previous.clear();
    if (faultNow(FaultOp::Rename)) {
        errno = EIO;
        return false;
    }
    if (exchangeFiles(from, to)) {
        previous = from;
        return true;
    }
    if (errno == ENOENT) // nothing at `to` yet
        return rename(from.c_str(), to.c_str()) == 0;
    if (keepPrevious && !keepAside(to, previous))
        return false;
    if (rename(from.c_str(), to.c_str()) == 0)
        return true;
    // `to` still holds its file: the second name or the copy goes.
    const int error = errno;
    if (!previous.empty())
        unlink(previous.c_str());
    previous.clear();
    errno = error;
    return false;
}

bool putBackFile(const std::string& previous, const std::string& to) {
    if (faultNow(FaultOp::Rename)) {
        errno = EIO;
        return false;
    }
    return rename(previous.c_str(), to.c_str()) == 0;
}

void removeFile(const std::string& path) {
    if (!faultNow(FaultOp::Remove))
        unlink(path.c_str());
}

void forgetTemporary(const std::string& path) {
    for (TemporarySlot& slot : temporaries)
        if (slot.used && path == slot.path)
            slot.used = 0;
}

// Blocked, not handled: an interruption that arrives from here on stays pending and goes with
// the process. Only these signals are added to the caller's mask; none is ever taken off it.
void holdInterruptions() {
    const sigset_t set = interruptingSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

void interruptProcess() {
    raise(SIGTERM);
}

} // namespace steps

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

bool listFilesMatching(const std::string& directory, std::string_view prefix,
                       std::string_view suffix, std::vector<std::string>& names) {
    names.clear();
    const std::string where = directory.empty() ? std::string(".") : directory;
    DIR* dir = opendir(where.c_str());
    if (dir == nullptr)
        return false;
    while (struct dirent* entry = readdir(dir)) {
        if (!nameMatches(entry->d_name, prefix, suffix))
            continue;
        std::string candidate = where;
        if (candidate.back() != '/')
            candidate += '/';
        candidate += entry->d_name;
        if (!existsAsDirectory(candidate.c_str()))
            names.push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

} // namespace platform
