// Reading what a path names: a folder holding the seventeen images, or one joined file.
//
// Every file is held as a read-only view for the length of the run, so the reports and the
// comparison read the images' bytes where they lie.
#include "image_set.h"

namespace plcinfo {

namespace {

// The folder as given, with a separator put in only where it does not end in one.
std::string inFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\')
        return folder + name;
    return folder + "/" + name;
}

// Finds an image as the joiner does: the capital name as it stands, then an entry whose
// name equals it ignoring letter case, so the splitter's "Plc_main.bin" is found too.
bool locateImage(const std::string& folder, int index, std::string& path) {
    path = inFolder(folder, JoinerNames[index]);
    if (platform::existsAsFile(path.c_str()))
        return true;
    std::string entry;
    if (!platform::findFileIgnoringCase(folder, JoinerNames[index], entry)) {
        path.clear();
        return false;
    }
    path = inFolder(folder, entry);
    return true;
}

bool inspectFolder(const std::string& folder, Inspection& inspection, std::string& error) {
    for (int i = 0; i < ImageCount; ++i) {
        std::string& path = inspection.imagePaths[i];
        if (!locateImage(folder, i, path))
            continue; // stays missing
        LoadedFile& loaded = inspection.files[i];
        if (!loadFile(path, loaded, error))
            return false;
        checkImage(loaded.view.data, loaded.view.size, inspection.images[i]);
    }
    // The splitter writes the set to temporaries named "." + the image's name + ... + ".tmp";
    // those a kill left behind mean the set may mix two builds. A folder that cannot be listed
    // was read above all the same.
    platform::listFilesMatching(folder, ".Plc_", ".tmp", inspection.temporaries);
    return true;
}

} // namespace

bool readsFile(const std::string& path, const platform::FileIdentity& id) {
    platform::FileIdentity read;
    if (platform::identifyFile(path.c_str(), read) && platform::sameFile(read, id))
        return true;
    if (!platform::existsAsDirectory(path.c_str()))
        return false;
    for (int i = 0; i < ImageCount; ++i) {
        std::string image;
        if (locateImage(path, i, image) && platform::identifyFile(image.c_str(), read) &&
            platform::sameFile(read, id))
            return true;
    }
    return false;
}

bool inspectPath(const std::string& path, Inspection& inspection, std::string& error) {
    inspection.path = path;
    bool read;
    if (platform::existsAsDirectory(path.c_str())) {
        read = inspectFolder(path, inspection, error);
    } else {
        LoadedFile& loaded = inspection.files[0];
        read = loadFile(path, loaded, error);
        if (read)
            splitJoinedFile(loaded.view.data, loaded.view.size, inspection);
    }
    if (!read)
        inspection = Inspection{};
    else
        checkFarEnds(inspection);
    return read;
}

} // namespace plcinfo
