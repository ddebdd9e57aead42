// The order of the steps that write outputs whole, the same on every system: the set's
// renames, with every replaced file kept until the last one has succeeded, and putting
// everything back when one is refused; a kept file goes only once it is no longer needed;
// the match of a temporary's name, by which a folder's leftover temporaries are found; and the
// rules of paths and file names that hold on every system alike (a path's folder and name by
// the system's separators, names equal but for ASCII letter case).
#include "output_steps.h"
#include "platform.h"

#include <cstdio>
#include <vector>

namespace platform {

namespace {

// Gives the output's name back what it held before: the file kept aside, or nothing. An earlier
// file that cannot be put back stays where it was kept, and the output says where.
void putBack(OutputFile& output, const std::string& previous) {
    if (previous.empty()) {
        steps::removeFile(output.path);
        return;
    }
    if (!steps::putBackFile(previous, output.path)) {
        output.kept = previous;
        return;
    }
    // A hard link renamed onto another name of the same file leaves both names in place.
    steps::removeFile(previous);
}

} // namespace

std::string steps::temporaryName(const std::string& folder, std::string name, unsigned long process,
                                 const char* kind) {
    static unsigned long counter = 0;
    if (name.size() > 200)
        name.resize(200);
    char unique[48];
    std::snprintf(unique, sizeof unique, ".%lx-%lx%s.tmp", process, ++counter, kind);
    return folder + "." + name + unique;
}

bool closeOutput(OutputFile& output) {
    return closeFile(output.file);
}

void discardOutput(OutputFile& output) {
    closeFile(output.file);
    if (output.temporary.empty())
        return;
    steps::removeFile(output.temporary);
    steps::forgetTemporary(output.temporary);
    output.temporary.clear();
}

bool steps::copyInto(const std::string& path, File& copy) {
    File source;
    if (!openForReading(path.c_str(), source))
        return false;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        std::size_t got = 0;
        if (!readBytes(source, buffer.data(), buffer.size(), got))
            return false;
        if (got == 0)
            break;
        if (!writeAll(copy, buffer.data(), got))
            return false;
    }
    return closeFile(copy);
}

bool commitOutputs(OutputFile* outputs, std::size_t count, std::size_t& failed) {
    failed = count;
    std::vector<std::string> previous(count);
    std::vector<bool> renamed(count, false);
    steps::holdInterruptions();
    std::size_t i = 0;
    for (; i < count; ++i) {
        OutputFile& output = outputs[i];
        output.kept.clear();
        if (output.temporary.empty())
            continue; // written in place
        // Of a set, every replaced file is kept until the last rename has succeeded.
        if (!steps::replaceFile(output.temporary, output.path, count > 1, previous[i]))
            break;
        steps::forgetTemporary(output.temporary);
        output.temporary.clear();
        renamed[i] = true;
    }
    if (i == count) {
        for (const std::string& kept : previous)
            if (!kept.empty())
                steps::removeFile(kept);
        return true;
    }
    failed = i;
    for (std::size_t j = i; j-- > 0;)
        if (renamed[j])
            putBack(outputs[j], previous[j]);
    for (std::size_t j = i; j < count; ++j)
        discardOutput(outputs[j]);
    return false;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

void splitPath(const std::string& path, std::string& folder, std::string& name) {
    const SwitchRule rule = nativeSwitchRule();
    std::size_t end = path.size();
    while (end > 0 && !isPathSeparator(path[end - 1], rule))
        --end;
    folder = path.substr(0, end);
    name = path.substr(end);
}

bool nameMatches(std::string_view name, std::string_view prefix, std::string_view suffix) {
    return name.size() >= prefix.size() + suffix.size() &&
           equalIgnoringCase(prefix, name.substr(0, prefix.size())) &&
           equalIgnoringCase(suffix, name.substr(name.size() - suffix.size()));
}

} // namespace platform
