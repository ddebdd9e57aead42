// The file services of platform.h over the in-memory file system of memory_files.h.
#include "memory_files.h"

#include "output_steps.h"
#include "platform.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace memfs {

namespace {

struct Node {
    std::string bytes;
    std::uint64_t index = 0;
};

struct Handle {
    std::shared_ptr<Node> node;
    std::size_t position = 0;
    bool writable = false;
    bool open = false;
};

// Identities: files and folders share one numbering; folders live on a volume of their own.
constexpr std::uint64_t FileVolume = 1;
constexpr std::uint64_t FolderVolume = 2;

// Orders names as std::less does, compared in a plain loop: a run looks names up hundreds of
// times, and the fuzzer's hook on the library's comparison would weigh on every one of them.
// Eight characters are compared at a time, as one number whose first character is its most
// significant: the names of a project share long beginnings ("images/Plc_").
struct NameOrder {
    using is_transparent = void;
    static std::uint64_t eightAt(std::string_view text, std::size_t at) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, sizeof word);
        return std::endian::native == std::endian::little ? __builtin_bswap64(word) : word;
    }
    bool operator()(std::string_view a, std::string_view b) const {
        const std::size_t common = std::min(a.size(), b.size());
        std::size_t i = 0;
        for (; i + 8 <= common; i += 8) {
            const std::uint64_t x = eightAt(a, i);
            const std::uint64_t y = eightAt(b, i);
            if (x != y)
                return x < y;
        }
        for (; i < common; ++i)
            if (a[i] != b[i])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
        return a.size() < b.size();
    }
};

struct FileSystem {
    std::map<std::string, std::shared_ptr<Node>, NameOrder> files;
    std::map<std::string, std::uint64_t, NameOrder> folders;
    std::vector<Handle> handles;
    std::uint64_t nextIndex = 1;
    int views = 0;
};

FileSystem& fs() {
    static FileSystem system;
    return system;
}

std::string folderKey(std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return std::string(path);
}

bool folderExists(const std::string& key) {
    return key.empty() || fs().folders.count(key) > 0;
}

// The folder a path lies in: everything before its last "/" ("" for the current folder).
std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : folderKey(path.substr(0, slash));
}

// Looked up by the name as given, without a copy of it.
std::shared_ptr<Node> findNode(const char* path) {
    const auto found = fs().files.find(std::string_view(path));
    return found == fs().files.end() ? nullptr : found->second;
}

Handle* handleOf(const platform::File& file) {
    if (file.handle < 0 || static_cast<std::size_t>(file.handle) >= fs().handles.size())
        return nullptr;
    Handle& handle = fs().handles[static_cast<std::size_t>(file.handle)];
    return handle.open ? &handle : nullptr;
}

void openHandle(std::shared_ptr<Node> node, bool writable, platform::File& file) {
    fs().handles.push_back(Handle{std::move(node), 0, writable, true});
    file.handle = static_cast<std::intptr_t>(fs().handles.size() - 1);
}

} // namespace

void reset() {
    fs() = FileSystem{};
}

void addFolder(std::string_view path) {
    const std::string key = folderKey(path);
    if (!key.empty() && fs().folders.count(key) == 0)
        fs().folders[key] = fs().nextIndex++;
}

void putFile(const std::string& path, std::string_view bytes) {
    auto node = std::make_shared<Node>();
    node->bytes = std::string(bytes);
    node->index = fs().nextIndex++;
    fs().files[path] = node;
}

bool getFile(const std::string& path, std::string& bytes) {
    const std::shared_ptr<Node> node = findNode(path.c_str());
    if (node == nullptr)
        return false;
    bytes = node->bytes;
    return true;
}

Snapshot save() {
    Snapshot snapshot;
    for (const auto& entry : fs().folders)
        snapshot.folders.insert(entry.first);
    for (const auto& [path, node] : fs().files)
        snapshot.files[path] = node->bytes;
    return snapshot;
}

void restore(const Snapshot& snapshot) {
    reset();
    for (const std::string& folder : snapshot.folders)
        addFolder(folder);
    for (const auto& [path, bytes] : snapshot.files)
        putFile(path, bytes);
}

int openHandles() {
    int count = 0;
    for (const Handle& handle : fs().handles)
        count += handle.open ? 1 : 0;
    return count;
}

int mappedViews() {
    return fs().views;
}

} // namespace memfs

namespace platform {

using namespace memfs;

// The fuzz targets run on Linux, so arguments are told apart by its rule.
SwitchRule nativeSwitchRule() {
    return SwitchRule::Posix;
}

bool openForReading(const char* path, File& file) {
    file.handle = -1;
    std::shared_ptr<Node> node = findNode(path);
    if (node == nullptr)
        return false;
    openHandle(std::move(node), false, file);
    return true;
}

bool readBytes(File& file, void* buffer, std::size_t size, std::size_t& bytesRead) {
    bytesRead = 0;
    Handle* handle = handleOf(file);
    if (handle == nullptr || handle->writable)
        return false;
    const std::string& bytes = handle->node->bytes;
    if (handle->position < bytes.size()) {
        bytesRead = std::min(size, bytes.size() - handle->position);
        std::memcpy(buffer, bytes.data() + handle->position, bytesRead);
        handle->position += bytesRead;
    }
    return true;
}

bool createForWriting(const char* path, File& file) {
    file.handle = -1;
    const std::string key = path;
    if (key.empty() || key.back() == '/' || fs().folders.count(key) > 0 ||
        !folderExists(parentOf(key)))
        return false;
    std::shared_ptr<Node> node = findNode(path);
    if (node == nullptr) {
        putFile(key, "");
        node = findNode(path);
    }
    node->bytes.clear();
    openHandle(std::move(node), true, file);
    return true;
}

bool writeAll(File& file, const void* data, std::size_t size) {
    Handle* handle = handleOf(file);
    if (handle == nullptr || !handle->writable)
        return false;
    std::string& bytes = handle->node->bytes;
    if (size > FileLimit || handle->position > FileLimit - size)
        return false;
    if (bytes.size() < handle->position + size)
        bytes.resize(handle->position + size);
    std::memcpy(bytes.data() + handle->position, data, size);
    handle->position += size;
    return true;
}

bool closeFile(File& file) {
    if (!isOpen(file))
        return true;
    Handle* handle = handleOf(file);
    file.handle = -1;
    if (handle == nullptr)
        return false;
    handle->open = false;
    handle->node.reset();
    return true;
}

// Outputs: a temporary beside the output, renamed onto it at the end. There are no links,
// devices or pipes here, and nothing interrupts a fuzz target.
bool beginOutput(const char* path, OutputFile& output) {
    output.file.handle = -1;
    output.path = path;
    output.temporary.clear();
    const std::string key = path;
    const std::size_t slash = key.rfind('/');
    const std::string name = slash == std::string::npos ? key : key.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || fs().folders.count(key) > 0 ||
        !folderExists(parentOf(key)))
        return false;
    static unsigned long counter = 0;
    const std::string folder =
        slash == std::string::npos ? std::string() : key.substr(0, slash + 1);
    output.temporary = folder + "." + name + "." + std::to_string(++counter) + ".tmp";
    return createForWriting(output.temporary.c_str(), output.file);
}

namespace steps {

bool replaceFile(const std::string& from, const std::string& to, bool keepPrevious,
                 std::string& previous) {
    previous.clear();
    std::shared_ptr<Node> node = findNode(from.c_str());
    if (node == nullptr)
        return false;
    if (std::shared_ptr<Node> replaced = findNode(to.c_str()); replaced && keepPrevious) {
        previous = to + ".old.tmp";
        fs().files[previous] = std::move(replaced);
    }
    fs().files.erase(from);
    fs().files[to] = std::move(node);
    return true;
}

bool putBackFile(const std::string& previous, const std::string& to) {
    std::string ignored;
    return replaceFile(previous, to, false, ignored);
}

void removeFile(const std::string& path) {
    fs().files.erase(path);
}

void forgetTemporary(const std::string&) {}
void holdInterruptions() {}
void interruptProcess() {}

} // namespace steps

bool fileSize(const File& file, std::uint64_t& size) {
    size = 0;
    const Handle* handle = handleOf(file);
    if (handle == nullptr)
        return false;
    size = handle->node->bytes.size();
    return true;
}

bool mapReadOnly(const File& file, std::uint64_t size, MappedView& view) {
    unmapView(view);
    const Handle* handle = handleOf(file);
    if (handle == nullptr || size > handle->node->bytes.size())
        return false;
    if (size == 0)
        return true;
    auto* copy = new unsigned char[size];
    std::memcpy(copy, handle->node->bytes.data(), size);
    view.data = copy;
    view.size = size;
    view.mapping = copy;
    ++fs().views;
    return true;
}

void unmapView(MappedView& view) {
    if (view.mapping != nullptr) {
        delete[] static_cast<unsigned char*>(view.mapping);
        --fs().views;
    }
    view.forget();
}

bool existsAsFile(const char* path) {
    return findNode(path) != nullptr;
}

bool existsAsDirectory(const char* path) {
    return *path != '\0' && findNode(path) == nullptr && folderExists(folderKey(path));
}

bool regularFileSize(const char* path, std::uint64_t& size) {
    size = 0;
    const std::shared_ptr<Node> node = findNode(path);
    if (node == nullptr)
        return false;
    size = node->bytes.size();
    return true;
}

bool identifyFile(const char* path, FileIdentity& id) {
    id = FileIdentity{};
    if (const std::shared_ptr<Node> node = findNode(path)) {
        id = FileIdentity{FileVolume, node->index};
        return true;
    }
    const auto folder = fs().folders.find(folderKey(path));
    if (folder == fs().folders.end())
        return false;
    id = FileIdentity{FolderVolume, folder->second};
    return true;
}

bool identifyOpenFile(const File& file, FileIdentity& id) {
    id = FileIdentity{};
    const Handle* handle = handleOf(file);
    if (handle == nullptr)
        return false;
    id = FileIdentity{FileVolume, handle->node->index};
    return true;
}

namespace {

// The names of the files in the folder `directory` names, in the order of the file table;
// false when there is no such folder.
bool filesIn(const std::string& directory, std::vector<std::string>& names) {
    names.clear();
    const std::string folder = folderKey(directory);
    if (!folderExists(folder))
        return false;
    for (const auto& entry : fs().files) {
        const std::string& path = entry.first;
        if (parentOf(path) != folder)
            continue;
        const std::size_t slash = path.rfind('/');
        names.push_back(slash == std::string::npos ? path : path.substr(slash + 1));
    }
    return true;
}

} // namespace

bool findFileIgnoringCase(const std::string& directory, const std::string& name,
                          std::string& found) {
    found.clear();
    std::vector<std::string> names;
    filesIn(directory, names);
    bool any = false;
    for (const std::string& entryName : names) {
        if (equalIgnoringCase(entryName, name) && (!any || entryName < found)) {
            found = entryName;
            any = true;
        }
    }
    return any;
}

bool listFilesMatching(const std::string& directory, std::string_view prefix,
                       std::string_view suffix, std::vector<std::string>& names) {
    std::vector<std::string> all;
    names.clear();
    if (!filesIn(directory, all))
        return false;
    for (const std::string& entryName : all)
        if (nameMatches(entryName, prefix, suffix))
            names.push_back(entryName);
    return true;
}

} // namespace platform
