// The symbol dictionary: every symbol of the PLC program, keyed by its upper-cased name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace symmap {

enum class SymbolKind : std::uint32_t {
    Const = 0,
    Byte = 1,
    Word = 2,
    DWord = 3,
    QWord = 4,
    Mech = 5,
    Struct = 6,
    Record = 7,
    Bit = 8,
    RecordDef = 9,
    StructDef = 10,
};

// Kinds that name a variable in a data segment: they have a selector and an address, and the
// linker map may locate them.
inline constexpr bool isVariableKind(SymbolKind kind) {
    return kind >= SymbolKind::Byte && kind <= SymbolKind::Record;
}

// Longest name kept: identifiers are cut to this many characters by the scanner.
inline constexpr std::size_t SymbolNameLength = 128;
inline constexpr std::size_t SymbolNameSize = 132;

struct SymbolEntry {
    char name[SymbolNameSize];   // as written in the listing, NUL-terminated
    SymbolKind kind;             // what the symbol is
    std::uint32_t isMember;      // 1 for a structure member
    std::uint32_t value;         // selector, constant value, offset, weight: by kind
    std::uint32_t address;       // variables: offset within the segment
    SymbolEntry* link;           // member/bit: its definition; RecordDef: latest variable
    std::uint32_t childCount;    // number of pointers in `children`
    SymbolEntry** children;      // members, bits, or a variable's type definition
    std::uint32_t childCapacity; // slots allocated in `children`
};

// The key of a name: a copy with ASCII a-z turned into A-Z.
std::string symbolKey(std::string_view name);

// Appends `child` to the children of `parent`; a null parent does nothing and succeeds.
// Reports message 9 and fails when the list cannot grow.
bool appendChild(SymbolEntry* parent, SymbolEntry* child);

// Hash map from key to entry, beside the store that owns every entry created during a run.
// The map part never owns: an entry displaced by `set` stays alive in the store.
class SymbolDictionary {
  public:
    SymbolDictionary() = default;
    ~SymbolDictionary();
    SymbolDictionary(const SymbolDictionary&) = delete;
    SymbolDictionary& operator=(const SymbolDictionary&) = delete;

    // A new entry with `name` (cut to SymbolNameLength characters) and every other field 0.
    // Null when memory ran out; the caller reports message 9.
    SymbolEntry* createEntry(std::string_view name);
    // Gives back an entry that was created but never stored or referenced.
    void discardEntry(SymbolEntry* entry);

    SymbolEntry* lookup(const std::string& key) const;
    void set(const std::string& key, SymbolEntry* entry);
    std::size_t size() const { return map_.size(); }

    // Visits every stored entry; unchanged dictionaries are visited in the same order.
    template <typename Visit> void forEach(Visit&& visit) const {
        for (const auto& pair : map_)
            visit(pair.second);
    }

  private:
    // Entries are allocated in blocks so that a million symbols cost a few thousand
    // allocations, and released together at the end of the run.
    static constexpr std::size_t BlockEntries = 1024;

    std::unordered_map<std::string, SymbolEntry*> map_;
    std::vector<std::unique_ptr<SymbolEntry[]>> blocks_;
    std::size_t usedInLastBlock_ = BlockEntries;
    std::vector<SymbolEntry*> freeEntries_;
};

} // namespace symmap
