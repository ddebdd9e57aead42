#include "symbol_dictionary.h"
#include "ascii_case.h"

#include "diagnostics.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace symmap {

namespace {

void clearEntry(SymbolEntry* entry) {
    std::free(entry->children);
    std::memset(static_cast<void*>(entry), 0, sizeof *entry);
}

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ull;
    h ^= h >> 27;
    return h;
}

} // namespace

// Eight characters at a time.
std::uint32_t keyHash(std::string_view key) {
    const char* p = key.data();
    std::size_t left = key.size();
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ left;
    while (left >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * 0x9e3779b97f4a7c15ull;
        h ^= h >> 29;
        p += 8;
        left -= 8;
    }
    std::uint64_t word = 0;
    std::memcpy(&word, p, left);
    h = mix(h ^ word);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

std::string symbolKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = upperAscii(c);
    return key;
}

void NameKey::assign(std::string_view name) {
    length_ = name.size() < SymbolNameLength ? name.size() : SymbolNameLength;
    for (std::size_t i = 0; i < length_; ++i)
        text_[i] = upperAscii(name[i]);
    hash_ = keyHash(view());
}

bool appendChild(SymbolEntry* parent, SymbolEntry* child) {
    if (parent == nullptr)
        return true;
    if (parent->childCount == parent->childCapacity) {
        // Doubling keeps a structure of many members linear to read.
        const std::uint32_t capacity = parent->childCapacity == 0 ? 1 : parent->childCapacity * 2;
        if (capacity <= parent->childCapacity) {
            reportMessage(MsgOutOfMemory, nullptr, -1, -1);
            return false;
        }
        void* grown = std::realloc(parent->children, capacity * sizeof(SymbolEntry*));
        if (grown == nullptr) {
            reportMessage(MsgOutOfMemory, nullptr, -1, -1);
            return false;
        }
        parent->children = static_cast<SymbolEntry**>(grown);
        parent->childCapacity = capacity;
    }
    parent->children[parent->childCount++] = child;
    return true;
}

static_assert(sizeof(SymbolEntry) + sizeof(std::uint32_t) + 12 <= 64,
              "an entry and a short name fill one cache line");

SymbolDictionary::~SymbolDictionary() {
    // Only the child lists are allocated one by one; everything else goes with its block.
    for (std::size_t i = 0; i < entriesMade_; ++i) {
        SymbolEntry* entry = entryOf(static_cast<std::uint32_t>(i + 1));
        if (entry->children != nullptr)
            std::free(entry->children);
    }
}

char* SymbolDictionary::allocateText(std::size_t size) {
    if (size > textLeft_) {
        const std::size_t blockSize = size > nextNameBlock_ ? size : nextNameBlock_;
        if (nextNameBlock_ < NameBlock)
            nextNameBlock_ *= 2;
        std::unique_ptr<char[]> block(new (std::nothrow) char[blockSize]);
        if (!block)
            return nullptr;
        textNext_ = block.get();
        textLeft_ = blockSize;
        textBlocks_.push_back(std::move(block));
    }
    char* text = textNext_;
    textNext_ += size;
    textLeft_ -= size;
    lastText_ = text;
    return text;
}

SymbolEntry* SymbolDictionary::createEntry(std::string_view name) {
    SymbolEntry* entry = nullptr;
    if (!freeEntries_.empty()) {
        entry = freeEntries_.back();
        freeEntries_.pop_back();
    } else {
        if (entriesMade_ >= MaxEntries)
            return nullptr;
        const BlockPlace place = placeOf(entriesMade_);
        if (place.block == entryBlocks_.size()) {
            // Left uninitialised: each entry is cleared when it is handed out, so the pages of
            // a large block are touched only as far as it is used.
            std::unique_ptr<StoredEntry[]> block(new (std::nothrow)
                                                     StoredEntry[blockLength(place.block)]);
            if (!block)
                return nullptr;
            entryBlocks_.push_back(std::move(block));
        }
        StoredEntry& stored = entryBlocks_[place.block][place.offset];
        std::memset(static_cast<void*>(&stored), 0, sizeof stored);
        entry = &stored.entry;
        ++entriesMade_;
    }
    const std::size_t length = name.size() < SymbolNameLength ? name.size() : SymbolNameLength;
    // Entries are only handed out from StoredEntry records, whose first member they are.
    StoredEntry* stored = reinterpret_cast<StoredEntry*>(entry);
    char* text = stored->shortName;
    if (length >= ShortName) {
        text = allocateText(length + 1);
        if (text == nullptr) {
            freeEntries_.push_back(entry);
            return nullptr;
        }
    }
    std::memcpy(text, name.data(), length);
    text[length] = '\0';
    entry->name = text;
    return entry;
}

void SymbolDictionary::discardEntry(SymbolEntry* entry) {
    if (entry == nullptr)
        return;
    // A discarded entry is most often the last one created: a long name is then given back.
    if (entry->name != nullptr && entry->name == lastText_) {
        const std::size_t nameSize = std::strlen(entry->name) + 1;
        textNext_ -= nameSize;
        textLeft_ += nameSize;
        lastText_ = nullptr;
    }
    clearEntry(entry);
    freeEntries_.push_back(entry);
}

// The reference to an entry of this dictionary, 0 for an entry from elsewhere. The entry
// being stored was nearly always created last, so the blocks are searched from the newest.
std::uint32_t SymbolDictionary::ownRef(const SymbolEntry* entry) const {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(entry);
    for (std::size_t b = entryBlocks_.size(); b-- > 0;) {
        const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(entryBlocks_[b].get());
        if (address < start || address >= start + blockLength(b) * sizeof(StoredEntry))
            continue;
        const std::size_t offset = address - start;
        if (offset % sizeof(StoredEntry) != 0)
            return 0;
        const std::size_t index =
            FirstBlock * ((std::size_t{1} << b) - 1) + offset / sizeof(StoredEntry);
        return index < entriesMade_ ? static_cast<std::uint32_t>(index + 1) : 0;
    }
    return 0;
}

std::uint32_t& SymbolDictionary::orderOf(std::uint32_t ref) {
    return storedOf(ref).order;
}

bool SymbolDictionary::keyMatches(std::uint32_t ref, std::string_view key) const {
    // The key is the upper-cased name: compare on the fly instead of keeping a copy.
    const char* name = entryOf(ref)->name;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (name[i] == '\0' || upperAscii(name[i]) != key[i])
            return false;
    }
    return name[key.size()] == '\0';
}

// The slot that holds `key`, or the free slot where it would go.
std::size_t SymbolDictionary::findSlot(std::string_view key, std::uint32_t hash) const {
    std::size_t i = hash & mask_;
    for (;;) {
        const Slot& slot = slots_[i];
        if (slot.ref == 0 || (slot.hash == hash && keyMatches(slot.ref, key)))
            return i;
        i = (i + 1) & mask_;
    }
}

void SymbolDictionary::prefetch(const NameKey& key) const {
#if defined(__GNUC__)
    if (slots_)
        __builtin_prefetch(&slots_[key.hash() & mask_]);
#else
    (void)key;
#endif
}

SymbolEntry* SymbolDictionary::lookup(std::string_view key, std::uint32_t hash) const {
    if (count_ == 0)
        return nullptr;
    const std::uint32_t ref = slots_[findSlot(key, hash)].ref;
    return ref == 0 ? nullptr : entryOf(ref);
}

// Doubles the table; it is kept at most three quarters full so that probe runs stay short.
bool SymbolDictionary::grow() {
    const std::size_t capacity = slots_ ? (mask_ + 1) * 2 : 64;
    std::unique_ptr<Slot[]> slots(new (std::nothrow) Slot[capacity]);
    if (!slots)
        return false;
    std::memset(static_cast<void*>(slots.get()), 0, capacity * sizeof(Slot));
    const std::size_t mask = capacity - 1;
    for (std::size_t i = 0; slots_ && i <= mask_; ++i) {
        const Slot& slot = slots_[i];
        if (slot.ref == 0)
            continue;
        std::size_t j = slot.hash & mask;
        while (slots[j].ref != 0)
            j = (j + 1) & mask;
        slots[j] = slot;
    }
    slots_ = std::move(slots);
    mask_ = mask;
    return true;
}

bool SymbolDictionary::set(std::string_view key, std::uint32_t hash, SymbolEntry* entry) {
    // The slot refers to the entry itself and the key is read from its name, so only an
    // entry of this dictionary whose name gives the key can be stored.
    const std::uint32_t ref = ownRef(entry);
    if (ref == 0 || !keyMatches(ref, key))
        return false;
    if ((count_ + 1) * 4 > (slots_ ? (mask_ + 1) * 3 : 0) && !grow())
        return false;
    Slot& slot = slots_[findSlot(key, hash)];
    const std::uint32_t current = slot.ref;
    if (ref == current)
        return true;

    if (current != 0) {
        // The key keeps its place in the order of keys.
        const std::uint32_t order = orderOf(current);
        orderOf(ref) = order;
        orderAt(order) = ref;
        slot.ref = ref;
        return true;
    }
    const BlockPlace place = placeOf(count_);
    if (place.block == order_.size()) {
        std::unique_ptr<std::uint32_t[]> block(new (std::nothrow)
                                                   std::uint32_t[blockLength(place.block)]);
        if (!block)
            return false;
        order_.push_back(std::move(block));
    }
    orderOf(ref) = static_cast<std::uint32_t>(count_);
    orderAt(count_) = ref;
    ++count_;
    slot = Slot{hash, ref};
    return true;
}

} // namespace symmap
