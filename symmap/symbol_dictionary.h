// The symbol dictionary: every symbol of the PLC program, keyed by its upper-cased name.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

struct SymbolEntry {
    const char* name;            // as written in the listing, NUL-terminated, in the name store
    SymbolKind kind;             // what the symbol is
    std::uint8_t isMember;       // 1 for a structure member
    std::uint8_t isPublic;       // 1 for a variable or constant declared Public or External
    std::uint8_t isMapped;       // 1 once a line of the linker map completed the entry
    std::uint32_t value;         // selector, constant value, offset, weight: by kind
    std::uint32_t address;       // variables: offset within the segment
    SymbolEntry* link;           // member/bit: its definition; RecordDef: latest variable
    std::uint32_t childCount;    // number of pointers in `children`
    std::uint32_t childCapacity; // slots allocated in `children`
    SymbolEntry** children;      // members, bits, or a variable's type definition
};

// The key of a name: a copy with ASCII a-z turned into A-Z.
std::string symbolKey(std::string_view name);

// The dictionary's hash of a key.
std::uint32_t keyHash(std::string_view key);

// The key of a name of at most SymbolNameLength characters (longer ones are cut) with its
// hash, made without allocating: the readers take one for every name they look up.
class NameKey {
  public:
    NameKey() = default;
    explicit NameKey(std::string_view name) { assign(name); }
    void assign(std::string_view name);
    std::string_view view() const { return std::string_view(text_, length_); }
    std::uint32_t hash() const { return hash_; }

  private:
    char text_[SymbolNameLength];
    std::size_t length_ = 0;
    std::uint32_t hash_ = 0;
};

// Appends `child` to the children of `parent`; a null parent does nothing and succeeds.
// Reports message 9 and fails when the list cannot grow.
bool appendChild(SymbolEntry* parent, SymbolEntry* child);

// Hash map from key to entry, beside the stores that own every entry and every name created
// during a run. The map part never owns: an entry displaced by `set` stays alive in the store.
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

    SymbolEntry* lookup(std::string_view key) const { return lookup(key, keyHash(key)); }
    SymbolEntry* lookup(const NameKey& key) const { return lookup(key.view(), key.hash()); }
    // Stores `entry`, an entry of this dictionary, under `key`, the key its name gives (an
    // entry stored before under that key is displaced). False when memory ran out or when
    // the entry is another's or its name gives another key; nothing is changed then.
    bool set(std::string_view key, SymbolEntry* entry) { return set(key, keyHash(key), entry); }
    bool set(const NameKey& key, SymbolEntry* entry) { return set(key.view(), key.hash(), entry); }
    // Asks the processor to fetch the table slot of `key`: a reader that knows a name early
    // calls it and looks the name up after other work, since with a million symbols nearly
    // every first look at the table waits for memory.
    void prefetch(const NameKey& key) const;
    std::size_t size() const { return count_; }

    // Visits every stored entry in the order their keys were first stored.
    template <typename Visit> void forEach(Visit&& visit) const {
        for (std::size_t i = 0; i < count_; ++i)
            visit(static_cast<const SymbolEntry*>(entryOf(orderAt(i))));
    }

  private:
    // An entry with room for a short name in the same cache line: a lookup that finds a
    // name compares the key with it and hands out the entry after one fetch from memory.
    static constexpr std::size_t ShortName = 12;
    struct alignas(64) StoredEntry {
        SymbolEntry entry;
        std::uint32_t order; // position in the order of keys while stored under its own key
        char shortName[ShortName];
    };
    // What a slot or the order of keys refers to: 1 + the index of the entry stored under
    // the key; 0 is a free slot.
    struct Slot {
        std::uint32_t hash;
        std::uint32_t ref;
    };

    // Entries and the order of keys are taken from blocks that double in size, the first of
    // FirstBlock items: a small listing costs a few small allocations and nothing of a large
    // run's size, and a million symbols still cost a few dozen allocations. Names longer than
    // a short one go into blocks of NameBlock bytes at most, the first ones smaller. All is
    // released together at the end of the run.
    static constexpr std::size_t FirstBlock = 64;
    static constexpr std::size_t FirstNameBlock = 1024;
    static constexpr std::size_t NameBlock = 64 * 1024;

    // Item `index` of a store of doubling blocks: its block and its place in the block.
    struct BlockPlace {
        std::size_t block;
        std::size_t offset;
    };
    static BlockPlace placeOf(std::size_t index) {
        const std::size_t block =
            static_cast<std::size_t>(std::bit_width(index / FirstBlock + 1)) - 1;
        return {block, index - FirstBlock * ((std::size_t{1} << block) - 1)};
    }
    static std::size_t blockLength(std::size_t block) { return FirstBlock << block; }

    // At most this many entries, so that every reference fits its 32 bits.
    static constexpr std::size_t MaxEntries = 0x7FFFFFFF;

    StoredEntry& storedOf(std::uint32_t ref) const {
        const BlockPlace place = placeOf(ref - 1);
        return entryBlocks_[place.block][place.offset];
    }
    SymbolEntry* entryOf(std::uint32_t ref) const { return &storedOf(ref).entry; }
    std::uint32_t& orderAt(std::size_t index) const {
        const BlockPlace place = placeOf(index);
        return order_[place.block][place.offset];
    }
    std::uint32_t& orderOf(std::uint32_t ref);
    std::uint32_t ownRef(const SymbolEntry* entry) const;
    SymbolEntry* lookup(std::string_view key, std::uint32_t hash) const;
    bool set(std::string_view key, std::uint32_t hash, SymbolEntry* entry);
    char* allocateText(std::size_t size);
    bool keyMatches(std::uint32_t ref, std::string_view key) const;
    std::size_t findSlot(std::string_view key, std::uint32_t hash) const;
    bool grow();

    std::vector<std::unique_ptr<StoredEntry[]>> entryBlocks_;
    std::size_t entriesMade_ = 0; // entries handed out from the blocks, discarded ones included
    std::vector<SymbolEntry*> freeEntries_;

    std::vector<std::unique_ptr<char[]>> textBlocks_;
    char* textNext_ = nullptr;
    std::size_t textLeft_ = 0;
    std::size_t nextNameBlock_ = FirstNameBlock;
    const char* lastText_ = nullptr; // the latest allocation, which can still be given back

    std::vector<std::unique_ptr<std::uint32_t[]>> order_;
    std::size_t count_ = 0;

    std::unique_ptr<Slot[]> slots_;
    std::size_t mask_ = 0; // slot count - 1; the slot count is a power of two
};

} // namespace symmap
