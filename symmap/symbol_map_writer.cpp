#include "symbol_map_writer.h"

#include "diagnostics.h"
#include "platform.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace symmap {

namespace {

// The four row lists of the .mp2 file; bits feed both bit sections.
enum class RowList { Variables, Bits, Members, Constants, None };
constexpr int RowListCount = 4;

RowList classify(const SymbolEntry& entry) {
    if (entry.isMember != 0)
        return RowList::Members;
    if (isVariableKind(entry.kind))
        return RowList::Variables;
    switch (entry.kind) {
    case SymbolKind::Bit:
        // A bit is written only when its record type has a variable to hold it.
        return (entry.link != nullptr && entry.link->link != nullptr) ? RowList::Bits
                                                                      : RowList::None;
    case SymbolKind::Const:
        return RowList::Constants;
    default:
        return RowList::None;
    }
}

// Names are NUL-terminated by their creator; the bound keeps a damaged one inside its array.
int nameLength(const SymbolEntry& entry) {
    return static_cast<int>(strnlen(entry.name, SymbolNameSize));
}

// Blanks after a name so that the value column starts at character 32, or one blank after a
// longer name.
constexpr int ValueColumn = 31;
constexpr const char* Blanks = "                               "; // ValueColumn blanks

int fillLength(const SymbolEntry& entry) {
    const int length = nameLength(entry);
    return length < ValueColumn ? ValueColumn - length : 1;
}

// The storage type printed for a variable. A QWord's type name has four characters, so its
// name column starts one character earlier.
const char* variableType(const SymbolEntry& entry) {
    switch (entry.kind) {
    case SymbolKind::Byte:
        return "BYTE ";
    case SymbolKind::Word:
        return "WORD ";
    case SymbolKind::DWord:
        return "DWORD";
    case SymbolKind::QWord:
        return "BYTE";
    case SymbolKind::Mech:
        return "MECH ";
    case SymbolKind::Record: {
        // A record variable is as wide as its record type's bits need.
        const SymbolEntry* type =
            entry.childCount > 0 && entry.children != nullptr ? entry.children[0] : nullptr;
        const std::uint32_t bits = type != nullptr ? type->childCount : 0;
        if (bits <= 8)
            return "BYTE ";
        return bits <= 16 ? "WORD " : "DWORD";
    }
    default: // Struct
        return "BYTE ";
    }
}

// The open .mp2 file: every head and row goes to the system in one write.
class MapOutput {
  public:
    explicit MapOutput(const char* path) : path_(path) {}
    ~MapOutput() {
        // After a failed write the file is released without a further message.
        platform::closeFile(file_);
    }

    bool create() {
        if (platform::createForWriting(path_, file_))
            return true;
        reportMessage(1, nullptr, -1, -1, path_);
        return false;
    }

    bool put(const char* format, ...) PLATFORM_PRINTF_FORMAT(2, 3) {
        // The longest row, a bit-fields row, is two names of 132 and 31 blanks.
        char text[512];
        va_list args;
        va_start(args, format);
        const int length = std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof text) {
            reportMessage(0, nullptr, -1, -1, path_);
            return false;
        }
        if (platform::writeAll(file_, text, static_cast<std::size_t>(length)))
            return true;
        reportMessage(11, nullptr, -1, -1, path_);
        return false;
    }

    bool close() {
        if (platform::closeFile(file_))
            return true;
        reportMessage(10, nullptr, -1, -1, path_);
        return false;
    }

  private:
    const char* path_;
    platform::File file_;
};

struct EntryList {
    std::unique_ptr<const SymbolEntry*[]> entries;
    std::size_t capacity = 0;
    std::size_t size = 0;
};

// Counts, allocates and fills the four lists in two walks over the dictionary.
bool collectRows(const SymbolDictionary& dictionary, EntryList (&lists)[RowListCount]) {
    dictionary.forEach([&](const SymbolEntry* entry) {
        const RowList list = classify(*entry);
        if (list != RowList::None)
            ++lists[static_cast<int>(list)].capacity;
    });
    for (EntryList& list : lists) {
        list.entries.reset(new (std::nothrow) const SymbolEntry*[list.capacity]);
        if (!list.entries) {
            reportMessage(9, nullptr, -1, -1);
            return false;
        }
    }
    dictionary.forEach([&](const SymbolEntry* entry) {
        const RowList kind = classify(*entry);
        if (kind == RowList::None)
            return;
        EntryList& list = lists[static_cast<int>(kind)];
        if (list.size < list.capacity)
            list.entries[list.size++] = entry;
    });
    for (EntryList& list : lists)
        std::sort(list.entries.get(), list.entries.get() + list.size, symbolNameLess);
    return true;
}

bool writeVariables(MapOutput& out, const EntryList& list) {
    if (!out.put("\r\n[SYMBOL_TABLE %zu]\r\n;Sel    Addr    Type    Symbol\r\n", list.size))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& entry = *list.entries[i];
        const char* type = variableType(entry);
        if (!out.put("%04xH   %04xH   %s   %.*s\r\n", entry.value & 0xffffu, entry.address, type,
                     nameLength(entry), entry.name))
            return false;
    }
    return true;
}

bool writeBitFields(MapOutput& out, const EntryList& list) {
    if (!out.put("\r\n[BIT_FIELDS %zu]\r\n;Bit                           Location\r\n", list.size))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& bit = *list.entries[i];
        const SymbolEntry& holder = *bit.link->link;
        if (!out.put("%.*s%.*s%.*s\r\n", nameLength(bit), bit.name, fillLength(bit), Blanks,
                     nameLength(holder), holder.name))
            return false;
    }
    return true;
}

bool writeMembers(MapOutput& out, const EntryList& list) {
    if (!out.put("\r\n[STRUCTURE_OFFSETS %zu]\r\n;Name                          Offset\r\n",
                 list.size))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& member = *list.entries[i];
        if (!out.put("%.*s%.*s%04d\r\n", nameLength(member), member.name, fillLength(member),
                     Blanks, static_cast<std::int32_t>(member.value)))
            return false;
    }
    return true;
}

bool writeBitWeights(MapOutput& out, const EntryList& list) {
    if (!out.put("\r\n[BIT_WEIGHTS %zu]\r\n;Bit                           Weight\r\n", list.size))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& bit = *list.entries[i];
        if (!out.put("%.*s%.*s%02u\r\n", nameLength(bit), bit.name, fillLength(bit), Blanks,
                     bit.value & 0xffu))
            return false;
    }
    return true;
}

bool writeConstants(MapOutput& out, const EntryList& list) {
    if (!out.put("\r\n[CONSTANTS %zu]\r\n;Name                          Value\r\n", list.size))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& constant = *list.entries[i];
        if (!out.put("%.*s%.*s%08x\r\n", nameLength(constant), constant.name, fillLength(constant),
                     Blanks, constant.value))
            return false;
    }
    return true;
}

unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

bool symbolNameLess(const SymbolEntry* a, const SymbolEntry* b) {
    for (std::size_t i = 0; i < SymbolNameSize; ++i) {
        const unsigned char x = lowerAscii(static_cast<unsigned char>(a->name[i]));
        const unsigned char y = lowerAscii(static_cast<unsigned char>(b->name[i]));
        if (x != y)
            return x < y;
        if (x == 0)
            break;
    }
    // Names that differ only in case cannot both be stored; should two ever meet, the raw
    // bytes decide so that the order does not depend on the dictionary's.
    return std::strncmp(a->name, b->name, SymbolNameSize) < 0;
}

bool writeSymbolMap(const char* path, const SymbolDictionary& dictionary) {
    EntryList lists[RowListCount];
    if (!collectRows(dictionary, lists))
        return false;
    const EntryList& variables = lists[static_cast<int>(RowList::Variables)];
    const EntryList& bits = lists[static_cast<int>(RowList::Bits)];
    const EntryList& members = lists[static_cast<int>(RowList::Members)];
    const EntryList& constants = lists[static_cast<int>(RowList::Constants)];

    MapOutput out(path);
    if (!out.create())
        return false;
    if (!out.put("$MP2 02\r\n") || !writeVariables(out, variables) || !writeBitFields(out, bits) ||
        !writeMembers(out, members) || !writeBitWeights(out, bits) ||
        !writeConstants(out, constants))
        return false;
    return out.close();
}

} // namespace symmap
