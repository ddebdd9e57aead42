// Writes assembler listings for tests, fuzz seeds and benchmarks: the cross-reference sections
// (structures, records, symbols) that the symbol map builder reads, for a project described
// as plain lists of structures, records, variables and constants. With an empty linker map
// the builder takes every address and value from the listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plcgen {

struct ListingMember {
    std::string name;
    std::uint32_t offset = 0;
    std::string type; // "Byte", "Word", "DWord" or "QWord"
};

struct ListingStructure {
    std::string name;
    std::uint32_t size = 0;
    std::vector<ListingMember> members;
};

struct ListingBit {
    std::string name;        // without the listing's leading "?"
    std::uint32_t shift = 0; // the bit's weight in the symbol map
};

struct ListingRecord {
    std::string name;
    std::vector<ListingBit> bits;
};

struct ListingVariable {
    std::string name;
    std::string type;    // "Byte" ... "QWord", a record or structure name, or "MECH_..." record
    std::string segment; // DATA_COM, DATA1, DATA_USR or DATAROZ
    std::uint32_t address = 0;
};

struct ListingConstant {
    std::string name;
    std::uint32_t value = 0;
};

struct ListingProject {
    std::vector<ListingStructure> structures;
    std::vector<ListingRecord> records;
    std::vector<ListingVariable> variables;
    std::vector<ListingConstant> constants;
};

// The four data segments whose variables reach the symbol map.
extern const char* const DataSegments[4];

// A project of `variables` variables of every kind spread over the four data segments, each
// segment's variables one after the other from address 0 in the order of the list; with two
// record types (one of them a MECH_ type), a structure type and a few constants.
ListingProject standardListingProject(std::size_t variables);

// Bytes a variable of `type` takes in its segment (a record by its bit count, a structure by
// its size).
std::uint32_t widthOf(const ListingProject& project, const std::string& type);

// Lays each segment's variables out again one after the other from address 0, in list order.
void layOutVariables(ListingProject& project);

std::string buildListing(const ListingProject& project);

} // namespace plcgen
