// Builds linked PLC programs from a description; see plc_generator.h.
#include "plc_generator.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace plcgen {

const char* const CodeSegmentNames[17] = {
    "CODE4",       "CODE5",       "CODE_UNIT03", "CODE_UNIT04", "CODE_UNIT05", "CODE_UNIT06",
    "CODE_UNIT07", "CODE_UNIT08", "CODE_UNIT09", "CODE_UNIT10", "CODE_UNIT11", "CODE_UNIT12",
    "CODE_UNIT13", "CODE_UNIT14", "CODE_UNIT15", "CODE_UNIT16", "CODE_UNIT17"};

void fillRamp(SegmentLayout& segment, std::uint8_t first, std::uint8_t step) {
    segment.bytes.resize(segment.length);
    std::uint8_t value = first;
    for (auto& byte : segment.bytes) {
        byte = value;
        value = static_cast<std::uint8_t>(value + step);
    }
}

SegmentLayout* findSegment(ProgramLayout& layout, const std::string& name) {
    for (auto& segment : layout.segments)
        if (segment.name == name)
            return &segment;
    return nullptr;
}

PublicSymbol* findPublic(ProgramLayout& layout, const std::string& name) {
    for (auto& symbol : layout.publics)
        if (symbol.name == name)
            return &symbol;
    return nullptr;
}

ProgramLayout standardProgram() {
    ProgramLayout layout;
    layout.headerParagraphs = 32;
    layout.moduleSize = 0x2700;
    auto add = [&](const char* name, const char* className, std::uint32_t start,
                   std::uint32_t length, std::uint8_t first) {
        SegmentLayout segment{name, className, start, length, {}};
        fillRamp(segment, first, 7);
        layout.segments.push_back(segment);
    };
    add("CODE4", "CODE", 0x0000, 0x0200, 0x41);
    add("CODE5", "CODE", 0x0200, 0x1A00, 0x51);
    for (int unit = 0; unit < 15; ++unit)
        add(CodeSegmentNames[2 + unit], "CODE", 0x1C00 + 0x40 * unit, 0x40,
            static_cast<std::uint8_t>(0x61 + unit));
    add("DUSR_CODE", "CODE", 0x2000, 0x0200, 0xD1);
    add("DATA_COM", "DATA", 0x2200, 0x0100, 0x11);
    add("DATA1", "DATA", 0x2300, 0x0100, 0x21);
    add("DATA_USR", "DATA", 0x2400, 0x0100, 0x31);
    add("DATAROZ", "DATA", 0x2500, 0x0100, 0x03);
    add("STACK", "STACK", 0x2600, 0x0100, 0x05);
    layout.publics = {{"??SEC_PROC_DUSR_LOAD", 0x0200, 0x0100},
                      {"??SEC_PROC_DUSR_END", 0x0200, 0x0180},
                      {"??SEC_PROC_FAR_END", 0x0020, 0x19F0}};
    layout.makeLines = {"# PLC project", "# Comment \"Line 7 press\"", "all: KORVEX.EXE"};
    return layout;
}

std::vector<std::uint8_t> buildLoadModule(const ProgramLayout& layout) {
    std::uint32_t size = layout.moduleSize;
    for (const auto& segment : layout.segments)
        if (segment.start + segment.length > size)
            size = segment.start + segment.length;
    std::vector<std::uint8_t> module(size, 0);
    for (const auto& segment : layout.segments)
        for (std::uint32_t i = 0; i < segment.length && i < segment.bytes.size(); ++i)
            module[segment.start + i] = segment.bytes[i];
    return module;
}

std::string buildExecutable(const ProgramLayout& layout) {
    const std::vector<std::uint8_t> module = buildLoadModule(layout);
    const std::size_t headerBytes = std::size_t{layout.headerParagraphs} * 16;
    std::string exe(headerBytes + module.size(), '\0');
    for (std::size_t i = 0; i < module.size(); ++i)
        exe[headerBytes + i] = static_cast<char>(module[i]);
    if (exe.size() < 28)
        exe.resize(28, '\0');
    auto word = [&](std::size_t offset, std::uint32_t value) {
        exe[offset] = static_cast<char>(value & 0xFF);
        exe[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
    };
    const std::size_t total = exe.size();
    exe[0] = 'M';
    exe[1] = 'Z';
    word(2, static_cast<std::uint32_t>(total % 512));
    word(4, static_cast<std::uint32_t>((total + 511) / 512));
    word(6, 0);                       // no relocations
    word(8, layout.headerParagraphs); // header size in paragraphs
    word(10, 0);
    word(12, 0xFFFF);
    word(14, 0x0260); // SS: the STACK segment of the standard layout
    word(16, 0x0100); // SP
    word(18, 0);
    word(20, 0);
    word(22, 0);
    word(24, 0x001C); // relocation table right after the fixed header
    word(26, 0);
    return exe;
}

std::string buildMap(const ProgramLayout& layout) {
    std::string map = "\n Start  Stop   Length Name               Class\n\n";
    char line[256];
    for (const auto& segment : layout.segments) {
        const std::uint32_t stop =
            segment.length > 0 ? segment.start + segment.length - 1 : segment.start;
        std::snprintf(line, sizeof line, " %05XH %05XH %05XH %-18s %s\n", segment.start, stop,
                      segment.length, segment.name.c_str(), segment.className.c_str());
        map += line;
    }
    for (const char* title : {"Name", "Value"}) {
        map += "\n  Address         Publics by ";
        map += title;
        map += "\n\n";
        for (const auto& symbol : layout.publics) {
            std::snprintf(line, sizeof line, " %04X:%04X       %s\n", symbol.segment, symbol.offset,
                          symbol.name.c_str());
            map += line;
        }
    }
    map += "\nProgram entry point at 0000:0000\n";
    return map;
}

std::string buildMakeFile(const ProgramLayout& layout) {
    std::string text;
    for (const auto& line : layout.makeLines)
        text += line + "\n";
    return text;
}

namespace {

bool parseHex(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8)
        return false;
    value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

// One description line, split at blanks; false when it is not understood.
bool parseLine(const std::string& line, ProgramLayout& layout) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word.empty() || word[0] == '#')
        return true;
    if (word == "make") {
        // The rest of the line after one blank, verbatim.
        const std::size_t at = line.find("make") + 4;
        layout.makeLines.push_back(at < line.size() ? line.substr(at + 1) : "");
        return true;
    }
    std::vector<std::string> fields;
    for (std::string field; in >> field;)
        fields.push_back(field);
    std::uint32_t a = 0, b = 0, c = 0;
    if (word == "header" && fields.size() == 1 && parseHex(fields[0], a) && a <= 0xFFFF) {
        layout.headerParagraphs = static_cast<std::uint16_t>(a);
        return true;
    }
    if (word == "module" && fields.size() == 1 && parseHex(fields[0], a)) {
        layout.moduleSize = a;
        return true;
    }
    if (word == "segment" && fields.size() >= 4 && parseHex(fields[2], a) &&
        parseHex(fields[3], b) && a <= 0xFFFFF && b <= 0xFFFFF) {
        SegmentLayout segment{fields[0], fields[1], a, b, {}};
        if (fields.size() == 4 || (fields.size() == 5 && fields[4] == "zero")) {
            segment.bytes.assign(b, 0);
        } else if (fields.size() == 6 && fields[4] == "fill" && parseHex(fields[5], c) &&
                   c <= 0xFF) {
            segment.bytes.assign(b, static_cast<std::uint8_t>(c));
        } else if (fields.size() == 7 && fields[4] == "ramp" && parseHex(fields[5], c) &&
                   c <= 0xFF && parseHex(fields[6], a) && a <= 0xFF) {
            fillRamp(segment, static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(a));
        } else {
            return false;
        }
        layout.segments.push_back(segment);
        return true;
    }
    if (word == "bytes" && fields.size() >= 2 && parseHex(fields[1], a)) {
        SegmentLayout* segment = findSegment(layout, fields[0]);
        if (segment == nullptr)
            return false;
        for (std::size_t i = 2; i < fields.size(); ++i, ++a) {
            if (!parseHex(fields[i], c) || c > 0xFF || a >= segment->length)
                return false;
            segment->bytes.resize(segment->length, 0);
            segment->bytes[a] = static_cast<std::uint8_t>(c);
        }
        return true;
    }
    if (word == "public" && fields.size() == 2 && fields[1].size() == 9 && fields[1][4] == ':' &&
        parseHex(fields[1].substr(0, 4), a) && parseHex(fields[1].substr(5), b)) {
        layout.publics.push_back(
            {fields[0], static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b)});
        return true;
    }
    return false;
}

bool writeText(const std::string& path, const std::string& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

bool parseDescription(const std::string& text, ProgramLayout& layout, std::string& error) {
    layout = ProgramLayout{};
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!parseLine(line, layout)) {
            error = "line " + std::to_string(number) + " not understood: " + line;
            return false;
        }
    }
    return true;
}

bool writeProgram(const ProgramLayout& layout, const std::string& exePath,
                  const std::string& mapPath, const std::string& makePath, std::string& error) {
    if (!writeText(exePath, buildExecutable(layout), error))
        return false;
    if (!mapPath.empty() && !writeText(mapPath, buildMap(layout), error))
        return false;
    return makePath.empty() || writeText(makePath, buildMakeFile(layout), error);
}

} // namespace plcgen
