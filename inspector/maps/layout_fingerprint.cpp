// The fingerprint of each data segment's retained layout, the release record that lists them
// and the check of a map against such a record.
//
// The bytes hashed for a segment (one selector of the symbol table), all ASCII, each line
// ended by one line feed (0A):
//   1. For every variable of the selector, the line
//        "V " address " " type " " name
//      the address as 8 lower-case hexadecimal digits, the type as the reports name it (BYTE,
//      WORD, DWORD, QWORD, MECH; the map writes a QWORD's column as "BYTE"), the name with
//      A-Z turned into a-z; these lines in ascending byte order (so by address first).
//   2. Then for every row of the structure offsets section, the line
//        "M " offset " " name
//      the offset in signed decimal without leading zeros ("-2", "0", "14"), the name folded
//      as above; these lines in ascending byte order.
// The fingerprint is the first 16 hexadecimal digits (lower case) of the SHA-256 of those
// bytes, that is its first 8 bytes.
//
// The structure offsets section names no selector and no structure: a structure variable is
// written with the type column of a byte, word or double word, so the map cannot tell which
// variables a member lies in. A member whose offset changed may reshape retained data in any
// segment, so every segment's fingerprint takes every member: such a change marks every
// segment as changed rather than let a control read old data in a new shape.
#include "layout_fingerprint.h"
#include "common/sha256.h"
#include "map_report_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace plcinfo {

namespace {

void appendFolded(std::string& out, std::string_view name) {
    for (char c : name)
        out += lowerAscii(c);
}

std::string digitsOf(const std::string& bytes) {
    static const char Hex[] = "0123456789abcdef";
    const Sha256Digest digest = sha256(bytes);
    std::string digits;
    for (std::size_t i = 0; i < FingerprintDigits / 2; ++i) {
        digits += Hex[digest[i] >> 4];
        digits += Hex[digest[i] & 15];
    }
    return digits;
}

std::string memberLines(const SymbolMap& map) {
    std::vector<std::string> lines;
    char offset[16];
    for (const MapRow& row : map.rows[SectionMembers]) {
        std::snprintf(offset, sizeof offset, "%ld",
                      static_cast<long>(static_cast<std::int32_t>(row.value)));
        std::string line = "M " + std::string(offset) + " ";
        appendFolded(line, rowName(map, row));
        lines.push_back(line + "\n");
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line;
    return out;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

const char* dataSegmentName(std::uint16_t selector) {
    for (const DataSegment& segment : DataSegments)
        if (segment.selector == selector)
            return segment.name;
    return "-";
}

std::vector<SegmentFingerprint> fingerprintLayouts(const SymbolMap& map) {
    const std::vector<MapRow>& rows = map.rows[SectionSymbols];
    std::vector<std::uint32_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::uint32_t>(i);
    // By selector, then as the lines sort byte by byte: the address has a fixed width, no type
    // name begins another, and a name that begins another sorts first as its line feed does.
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const MapRow& x = rows[a];
        const MapRow& y = rows[b];
        if (x.selector != y.selector || x.value != y.value)
            return x.selector != y.selector ? x.selector < y.selector : x.value < y.value;
        const int byType =
            std::strcmp(TypeNames[static_cast<int>(x.type)], TypeNames[static_cast<int>(y.type)]);
        return byType != 0 ? byType < 0 : compareNames(rowName(map, x), rowName(map, y)) < 0;
    });
    const std::string members = memberLines(map);
    std::vector<SegmentFingerprint> fingerprints;
    std::string bytes;
    char head[32];
    for (std::size_t at = 0; at < order.size();) {
        const std::uint16_t selector = rows[order[at]].selector;
        bytes.clear();
        for (; at < order.size() && rows[order[at]].selector == selector; ++at) {
            const MapRow& row = rows[order[at]];
            std::snprintf(head, sizeof head, "V %08lx %s ", static_cast<unsigned long>(row.value),
                          TypeNames[static_cast<int>(row.type)]);
            bytes += head;
            appendFolded(bytes, rowName(map, row));
            bytes += '\n';
        }
        bytes += members;
        fingerprints.push_back({selector, dataSegmentName(selector), digitsOf(bytes)});
    }
    return fingerprints;
}

std::string formatFingerprintRecord(const std::vector<SegmentFingerprint>& fingerprints) {
    std::string out;
    char selector[8];
    for (const SegmentFingerprint& segment : fingerprints) {
        std::snprintf(selector, sizeof selector, "%04X", static_cast<unsigned>(segment.selector));
        out += std::string(selector) + " " + segment.name + " " + segment.digits + "\n";
    }
    return out;
}

bool parseFingerprintRecord(std::string_view text, std::vector<SegmentFingerprint>& record,
                            std::string& error) {
    std::size_t lineNumber = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // Three fields between blanks or tabs: selector, segment name, fingerprint.
        std::string_view fields[3];
        std::size_t count = 0;
        bool extra = false;
        for (std::size_t i = 0; i < line.size();) {
            if (line[i] == ' ' || line[i] == '\t') {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t')
                ++j;
            if (count < 3)
                fields[count] = line.substr(i, j - i);
            extra = extra || count == 3;
            count += count < 3 ? 1 : 0;
            i = j;
        }
        if (count == 0 && !extra)
            continue;
        bool valid = count == 3 && !extra && !fields[0].empty() && fields[0].size() <= 4 &&
                     fields[2].size() == FingerprintDigits;
        unsigned selector = 0;
        for (std::size_t i = 0; valid && i < fields[0].size(); ++i) {
            const char c = fields[0][i];
            valid = isHexDigit(c);
            selector =
                selector << 4 | static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        for (std::size_t i = 0; valid && i < FingerprintDigits; ++i)
            valid = isHexDigit(fields[2][i]);
        for (const SegmentFingerprint& seen : record)
            valid = valid && seen.selector != selector;
        if (!valid) {
            error = "line " + std::to_string(lineNumber) +
                    " is not \"SELECTOR NAME FINGERPRINT\" of a new selector";
            return false;
        }
        SegmentFingerprint segment;
        segment.selector = static_cast<std::uint16_t>(selector);
        segment.name = dataSegmentName(segment.selector);
        appendFolded(segment.digits, fields[2]);
        record.push_back(segment);
    }
    std::sort(record.begin(), record.end(),
              [](const SegmentFingerprint& a, const SegmentFingerprint& b) {
                  return a.selector < b.selector;
              });
    return true;
}

bool readFingerprintRecord(const std::string& path, std::vector<SegmentFingerprint>& record,
                           std::string& error) {
    // A record has a line for each of at most 65536 selectors.
    constexpr std::uint64_t MaxRecordSize = 0x400000;
    LoadedFile file;
    if (!loadFile(path, file, error, MaxRecordSize, "Not a layout record, too large: "))
        return false;
    const std::string_view text(reinterpret_cast<const char*>(file.view.data), file.view.size);
    if (!parseFingerprintRecord(text, record, error)) {
        error = "Not a layout record: " + path + ": " + error;
        return false;
    }
    return true;
}

std::vector<LayoutVerdict> compareLayouts(const std::vector<SegmentFingerprint>& before,
                                          const std::vector<SegmentFingerprint>& after) {
    std::vector<LayoutVerdict> verdicts;
    pairBySelector(before, after,
                   [&](const SegmentFingerprint* old, const SegmentFingerprint* fresh) {
                       LayoutVerdict verdict;
                       verdict.selector = old != nullptr ? old->selector : fresh->selector;
                       verdict.name = dataSegmentName(verdict.selector);
                       if (old != nullptr)
                           verdict.before = old->digits;
                       if (fresh != nullptr)
                           verdict.after = fresh->digits;
                       verdict.changed = verdict.before != verdict.after;
                       verdicts.push_back(verdict);
                   });
    return verdicts;
}

const char* layoutWord(const LayoutVerdict& verdict) {
    return verdict.changed ? "layout changed" : "layout unchanged";
}

std::string layoutValues(const LayoutVerdict& verdict) {
    if (!verdict.changed)
        return verdict.after;
    return (verdict.before.empty() ? "(none)" : verdict.before) + " -> " +
           (verdict.after.empty() ? "(none)" : verdict.after);
}

std::string layoutLine(const LayoutVerdict& verdict) {
    char head[64];
    std::snprintf(head, sizeof head, "%04X %-9s %-17s ", static_cast<unsigned>(verdict.selector),
                  verdict.name, layoutWord(verdict));
    return head + layoutValues(verdict) + "\n";
}

std::string formatLayoutCheck(const SymbolMap& map, const std::string& recordPath,
                              const std::vector<LayoutVerdict>& verdicts) {
    std::string out = "\nSymbol map: " + map.path + "\nLayout record: " + recordPath + "\n\n";
    std::string differing;
    char line[64];
    for (const LayoutVerdict& verdict : verdicts) {
        out += layoutLine(verdict);
        if (verdict.changed) {
            differing += differing.empty() ? "" : ", ";
            std::snprintf(line, sizeof line, "%04X %s", static_cast<unsigned>(verdict.selector),
                          verdict.name);
            differing += line;
        }
    }
    if (verdicts.empty())
        out += "(no variables)\n";
    out += "\n" + soundness(map) + "\n";
    out += differing.empty() ? "layout as recorded\n" : "Stopped by --expect: " + differing + "\n";
    return out;
}

} // namespace plcinfo
