// Loading a file of either kind (an image, a joined file, a symbol map) as a read-only view.
#include "plcinfo_common.h"

namespace plcinfo {

bool loadFile(const std::string& path, LoadedFile& loaded, std::string& error,
              std::uint64_t maxSize, const char* tooLarge) {
    if (!platform::openForReading(path.c_str(), loaded.file)) {
        error = "File cannot be opened: " + path;
        return false;
    }
    std::uint64_t size = 0;
    const bool sized = platform::fileSize(loaded.file, size);
    if (sized && size > maxSize && tooLarge != nullptr) {
        error = tooLarge + path;
        platform::closeFile(loaded.file);
        return false;
    }
    if (!sized || size > maxSize || !platform::mapReadOnly(loaded.file, size, loaded.view)) {
        error = "File cannot be read: " + path;
        platform::closeFile(loaded.file);
        return false;
    }
    return true;
}

bool pathOpens(const std::string& path) {
    if (platform::existsAsDirectory(path.c_str()))
        return true;
    platform::File file;
    return platform::openForReading(path.c_str(), file); // closed when it goes out of scope
}

} // namespace plcinfo
