// Finding a source on a file system that tells letter case apart.
//
// The splitter writes "Plc_main.bin" and the joiner asks for "PLC_MAIN.BIN"; the tool
// chain's own platform ignores case in file names, so the two meet there. Here the name is
// tried as it stands first and only then matched against its directory ignoring case.
#include "joiner.h"

namespace orlund {

bool locateSource(const std::string& composed, std::string& found) {
    found.clear();
    if (platform::existsAsFile(composed.c_str())) {
        found = composed;
        return true;
    }
    // The directory part keeps its last separator, so "/NAME" is looked for in "/" and a bare
    // name in the current directory ("").
    std::string directory, name;
    platform::splitPath(composed, directory, name);
    if (name.empty())
        return false;
    std::string entry;
    if (!platform::findFileIgnoringCase(directory, name, entry))
        return false;
    found = directory + entry;
    return true;
}

} // namespace orlund
