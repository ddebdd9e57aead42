#include "symbol_map_writer.h"
#include "ascii_case.h"

#include "diagnostics.h"
#include "output_guard.h"
#include "platform.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

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

// Names are NUL-terminated by their creator and at most SymbolNameLength long; the bound keeps
// a damaged one from running past what a row has room for.
std::size_t nameLength(const SymbolEntry& entry) {
    return strnlen(entry.name, SymbolNameLength);
}

// Blanks after a name so that the value column starts at character 32, or one blank after a
// longer name.
constexpr std::size_t ValueColumn = 31;
constexpr const char* Blanks = "                               "; // ValueColumn blanks

std::size_t fillLength(std::size_t nameLength) {
    return nameLength < ValueColumn ? ValueColumn - nameLength : 1;
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

// Formatting of the row fields, each writing at `out` and returning the end.
char* putText(char* out, const char* text, std::size_t length) {
    std::memcpy(out, text, length);
    return out + length;
}

template <std::size_t N> char* putLiteral(char* out, const char (&text)[N]) {
    return putText(out, text, N - 1);
}

// Lower-case hexadecimal with at least `width` digits, as "%0*x" prints it.
char* putHex(char* out, std::uint32_t value, int width) {
    char digits[8];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 15u];
        value >>= 4;
    } while (value != 0);
    for (int i = count; i < width; ++i)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

// Decimal with at least `width` characters, leading zeros after the sign, as "%0*d" prints
// it.
char* putDecimal(char* out, std::int64_t value, int width) {
    const bool negative = value < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *out++ = '-';
    for (int i = count + (negative ? 1 : 0); i < width; ++i)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

// Room one row may need: two names, the blank fill, numbers and the line end.
constexpr std::size_t RowRoom = 2 * SymbolNameLength + ValueColumn + 64;

// The .mp2 file being written: a temporary beside it until all of it is written and closed,
// then renamed onto its name, so that a failed run leaves an earlier symbol map as it was.
// Heads and rows are gathered in one buffer that goes to the system in large blocks: one write
// per row made the system calls the largest cost of a big map. Messages name the .mp2 file,
// never the temporary.
class MapOutput {
  public:
    // After a failure the output's temporary goes with it, without a further message.
    explicit MapOutput(const char* path) : path_(path) {}

    // `rows` is how many rows and heads the map will have: a small map gets a buffer about
    // its own size (rows of a typical 64 characters, and room for the longest row), not the
    // large one a big map needs. A map with longer rows only flushes more often.
    bool create(std::size_t rows) {
        bufferSize_ = rows < (BufferSize - RowRoom) / 64 ? rows * 64 + RowRoom : BufferSize;
        buffer_.reset(new (std::nothrow) char[bufferSize_]);
        if (!buffer_) {
            reportMessage(MsgOutOfMemory, nullptr, -1, -1);
            return false;
        }
        if (platform::beginOutput(path_, output_))
            return true;
        reportMessage(MsgFileOpen, nullptr, -1, -1, path_);
        return false;
    }

    // Where the next row of at most RowRoom characters goes; false after a failed write.
    bool room(char*& out) {
        if (bufferSize_ - used_ < RowRoom && !flush())
            return false;
        out = buffer_.get() + used_;
        return true;
    }
    // Takes the row that ends at `end`.
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

    // Writes what has been gathered; a failed or short write is message 11.
    bool flush() {
        if (used_ == 0)
            return true;
        const bool written = platform::writeAll(output_.file, buffer_.get(), used_);
        used_ = 0;
        if (written)
            return true;
        reportMessage(MsgFileWrite, nullptr, -1, -1, path_);
        return false;
    }

    // Closes the file and puts it in place; a failed close or rename is message 10.
    bool close() {
        if (!flush())
            return false;
        std::size_t failed = 0;
        if (platform::closeOutput(output_) && platform::commitOutputs(&output_, 1, failed))
            return true;
        reportMessage(MsgFileClose, nullptr, -1, -1, path_);
        return false;
    }

  private:
    // 64 KiB blocks: few enough system calls for a map of millions of rows, few enough pages
    // to touch for a small one.
    static constexpr std::size_t BufferSize = 64 * 1024;

    const char* path_;
    platform::OutputFile output_;
    std::unique_ptr<char[]> buffer_;
    std::size_t bufferSize_ = 0;
    std::size_t used_ = 0;
};

// A row to be sorted: the first eight characters of the name, A-Z read as a-z, packed so
// that comparing the numbers compares those characters, and the entry. Most comparisons of
// the sort are settled by the numbers without reading the names.
struct SortRow {
    std::uint64_t prefix;
    const SymbolEntry* entry;
};

std::uint64_t sortPrefix(const char* name) {
    std::uint64_t prefix = 0;
    int i = 0;
    for (; i < 8 && name[i] != '\0'; ++i)
        prefix = (prefix << 8) | lowerAscii(static_cast<unsigned char>(name[i]));
    // An empty name (a bit line with nothing after its "?") has the prefix 0; a shift by all
    // 64 bits would be undefined.
    return i == 0 ? 0 : prefix << (8 * (8 - i));
}

struct SortRowLess {
    bool operator()(const SortRow& a, const SortRow& b) const {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return symbolNameLess(a.entry, b.entry);
    }
};

struct EntryList {
    std::unique_ptr<SortRow[]> rows;
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
        list.rows.reset(new (std::nothrow) SortRow[list.capacity]);
        if (!list.rows) {
            reportMessage(MsgOutOfMemory, nullptr, -1, -1);
            return false;
        }
    }
    dictionary.forEach([&](const SymbolEntry* entry) {
        const RowList kind = classify(*entry);
        if (kind == RowList::None)
            return;
        EntryList& list = lists[static_cast<int>(kind)];
        if (list.size < list.capacity)
            list.rows[list.size++] = SortRow{sortPrefix(entry->name), entry};
    });
    for (EntryList& list : lists)
        std::sort(list.rows.get(), list.rows.get() + list.size, SortRowLess{});
    return true;
}

// A section head: an empty line, the title with the row count, the comment line.
bool putHead(MapOutput& out, std::string_view title, std::size_t count, std::string_view comment) {
    char* p;
    if (!out.room(p))
        return false;
    p = putLiteral(p, "\r\n[");
    p = putText(p, title.data(), title.size());
    *p++ = ' ';
    p = putDecimal(p, static_cast<std::int64_t>(count), 1);
    p = putLiteral(p, "]\r\n");
    p = putText(p, comment.data(), comment.size());
    out.commit(putLiteral(p, "\r\n"));
    return true;
}

// A row of the four name-and-value sections: the name, the blank fill, then what `value`
// puts.
template <typename PutValue>
bool putNamedRow(MapOutput& out, const SymbolEntry& entry, PutValue&& value) {
    char* p;
    if (!out.room(p))
        return false;
    const std::size_t length = nameLength(entry);
    p = putText(p, entry.name, length);
    p = putText(p, Blanks, fillLength(length));
    p = value(p);
    out.commit(putLiteral(p, "\r\n"));
    return true;
}

bool writeVariables(MapOutput& out, const EntryList& list) {
    if (!putHead(out, "SYMBOL_TABLE", list.size, ";Sel    Addr    Type    Symbol"))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& entry = *list.rows[i].entry;
        const char* type = variableType(entry);
        char* p;
        if (!out.room(p))
            return false;
        p = putHex(p, entry.value & 0xffffu, 4);
        p = putLiteral(p, "H   ");
        p = putHex(p, entry.address, 4);
        p = putLiteral(p, "H   ");
        p = putText(p, type, std::strlen(type));
        p = putLiteral(p, "   ");
        p = putText(p, entry.name, nameLength(entry));
        out.commit(putLiteral(p, "\r\n"));
    }
    return true;
}

bool writeBitFields(MapOutput& out, const EntryList& list) {
    if (!putHead(out, "BIT_FIELDS", list.size, ";Bit                           Location"))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& bit = *list.rows[i].entry;
        const SymbolEntry& holder = *bit.link->link;
        if (!putNamedRow(out, bit,
                         [&](char* p) { return putText(p, holder.name, nameLength(holder)); }))
            return false;
    }
    return true;
}

bool writeMembers(MapOutput& out, const EntryList& list) {
    if (!putHead(out, "STRUCTURE_OFFSETS", list.size, ";Name                          Offset"))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& member = *list.rows[i].entry;
        // The offset prints as a signed number.
        const std::int32_t offset = static_cast<std::int32_t>(member.value);
        if (!putNamedRow(out, member, [&](char* p) { return putDecimal(p, offset, 4); }))
            return false;
    }
    return true;
}

bool writeBitWeights(MapOutput& out, const EntryList& list) {
    if (!putHead(out, "BIT_WEIGHTS", list.size, ";Bit                           Weight"))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& bit = *list.rows[i].entry;
        if (!putNamedRow(out, bit, [&](char* p) { return putDecimal(p, bit.value & 0xffu, 2); }))
            return false;
    }
    return true;
}

bool writeConstants(MapOutput& out, const EntryList& list) {
    if (!putHead(out, "CONSTANTS", list.size, ";Name                          Value"))
        return false;
    for (std::size_t i = 0; i < list.size; ++i) {
        const SymbolEntry& constant = *list.rows[i].entry;
        if (!putNamedRow(out, constant, [&](char* p) { return putHex(p, constant.value, 8); }))
            return false;
    }
    return true;
}

bool writeHeader(MapOutput& out) {
    char* p;
    if (!out.room(p))
        return false;
    out.commit(putLiteral(p, "$MP2 02\r\n"));
    return true;
}

} // namespace

bool symbolNameLess(const SymbolEntry* a, const SymbolEntry* b) {
    for (std::size_t i = 0;; ++i) {
        const unsigned char x = lowerAscii(static_cast<unsigned char>(a->name[i]));
        const unsigned char y = lowerAscii(static_cast<unsigned char>(b->name[i]));
        if (x != y)
            return x < y;
        if (x == 0)
            break;
    }
    // Names that differ only in case cannot both be stored; should two ever meet, the raw
    // bytes decide so that the order does not depend on the dictionary's.
    return std::strcmp(a->name, b->name) < 0;
}

bool writeSymbolMap(const char* path, const SymbolDictionary& dictionary, const char* listingPath,
                    const char* mapPath) {
    EntryList lists[RowListCount];
    if (!collectRows(dictionary, lists))
        return false;
    const EntryList& variables = lists[static_cast<int>(RowList::Variables)];
    const EntryList& bits = lists[static_cast<int>(RowList::Bits)];
    const EntryList& members = lists[static_cast<int>(RowList::Members)];
    const EntryList& constants = lists[static_cast<int>(RowList::Constants)];

    if (!checkSymbolMapTarget(path, listingPath, mapPath))
        return false;
    // Create, write the blocks, close.
    MapOutput out(path);
    // The header line and five heads of three lines each, then the rows (bits twice).
    if (!out.create(16 + variables.size + 2 * bits.size + members.size + constants.size))
        return false;
    if (!writeHeader(out) || !writeVariables(out, variables) || !writeBitFields(out, bits) ||
        !writeMembers(out, members) || !writeBitWeights(out, bits) ||
        !writeConstants(out, constants))
        return false;
    return out.close();
}

} // namespace symmap
