#include "plc_listing.h"

#include <cstdio>

namespace plcgen {

const char* const DataSegments[4] = {"DATA_COM", "DATA1", "DATA_USR", "DATAROZ"};

namespace {

// The name with the listing's dot leaders, 32 columns wide.
std::string lead(const std::string& name) {
    std::string text = name + " ";
    if (text.size() % 2 != 0)
        text += " ";
    while (text.size() < 32)
        text += ". ";
    return text.substr(0, text.size() < 32 ? text.size() : 32);
}

// At least four hexadecimal digits, with a 0 in front of a leading letter, which would else
// make the number a name.
std::string hex4(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(value));
    // Appended, not inserted in front: g++ 12 takes "0" + std::string(buffer) for an
    // overlapping copy (a false -Wrestrict in Release builds).
    return std::string(buffer[0] >= 'A' ? "0" : "") + buffer;
}

} // namespace

ListingProject standardListingProject(std::size_t variables) {
    ListingProject project;
    project.structures.push_back(
        {"AXIS_S", 8, {{"POS", 0, "DWord"}, {"SPEED", 4, "Word"}, {"MODE", 6, "Byte"}}});
    project.records.push_back({"IO_BITS", {{"READY", 0}, {"FAULT", 1}, {"BUSY", 2}}});
    project.records.push_back({"KEY_BITS", {{"KEY_START", 0}, {"KEY_STOP", 1}, {"KEY_HOLD", 7}}});
    project.records.push_back({"MECH_DRIVE", {{"DRV_ON", 0}, {"DRV_DIR", 1}}});
    project.constants = {{"MAX_AXES", 2}, {"PLC_VERSION", 0x104}, {"BIT_MASK", 0x80}};
    static const char* const Types[] = {"Byte", "Word", "DWord", "QWord", "AXIS_S", "Byte"};
    for (std::size_t i = 0; i < variables; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "V%06u", static_cast<unsigned>(i));
        project.variables.push_back({name, Types[i % 6], DataSegments[i % 4], 0});
    }
    // The record variables (the bits of a record type are located in its last variable) and a
    // variable of a MECH_ type.
    if (variables >= 4) {
        project.variables[1].type = "IO_BITS";
        project.variables[2].type = "KEY_BITS";
        project.variables[3].type = "MECH_DRIVE";
    }
    layOutVariables(project);
    return project;
}

std::uint32_t widthOf(const ListingProject& project, const std::string& type) {
    if (type == "Byte")
        return 1;
    if (type == "Word")
        return 2;
    if (type == "DWord")
        return 4;
    if (type == "QWord")
        return 8;
    for (const ListingStructure& structure : project.structures)
        if (structure.name == type)
            return structure.size;
    for (const ListingRecord& record : project.records)
        if (record.name == type)
            return record.bits.size() <= 8 ? 1 : record.bits.size() <= 16 ? 2 : 4;
    return 1;
}

void layOutVariables(ListingProject& project) {
    std::uint32_t next[4] = {};
    for (ListingVariable& variable : project.variables) {
        for (int s = 0; s < 4; ++s) {
            if (variable.segment == DataSegments[s]) {
                variable.address = next[s];
                next[s] += widthOf(project, variable.type);
            }
        }
    }
}

std::string buildListing(const ListingProject& project) {
    std::string out = "PLC Assembler Listing\r\n\r\nStructures and Unions:\r\n\r\n";
    for (const ListingStructure& structure : project.structures) {
        out += lead(structure.name) + "\t " + hex4(structure.size) + "\r\n";
        for (const ListingMember& member : structure.members)
            out += lead("  " + member.name) + "\t " + hex4(member.offset) + "\t     " +
                   member.type + "\r\n";
    }
    out += "\r\nRecords:\r\n\r\n";
    for (const ListingRecord& record : project.records) {
        out += lead(record.name) + "\t " + hex4(static_cast<std::uint32_t>(record.bits.size())) +
               "\t " + hex4(static_cast<std::uint32_t>(record.bits.size())) + "\r\n";
        for (const ListingBit& bit : record.bits)
            out += lead("  ?" + bit.name) + "\t " + hex4(bit.shift) + "\t 0001\t " +
                   hex4(1u << (bit.shift & 15)) + "\t 0000\r\n";
    }
    out += "\r\nSymbols:\r\n\r\n";
    for (const ListingVariable& variable : project.variables)
        out += lead(variable.name) + "\t" + variable.type + "\t " + hex4(variable.address) +
               "\t  " + variable.segment + "\r\n";
    for (const ListingConstant& constant : project.constants)
        out += lead(constant.name) + "\tNumber\t " + hex4(constant.value) + "h\r\n";
    return out + "\r\n\t   0 Warnings\r\n\t   0 Errors\r\n";
}

} // namespace plcgen
