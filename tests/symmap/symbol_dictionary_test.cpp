#include "diagnostics.h"
#include "symbol_dictionary.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using namespace symmap;

namespace {

TEST(SymbolKey, UpperCasesAsciiLettersOnly) {
    EXPECT_EQ(symbolKey("Cnt_$?@9az"), "CNT_$?@9AZ");
    EXPECT_EQ(symbolKey(""), "");
    EXPECT_EQ(symbolKey(std::string_view("a\0b", 3)), std::string("A\0B", 3));
}

TEST(SymbolDictionary, NewEntryIsZeroExceptItsName) {
    SymbolDictionary dictionary;
    SymbolEntry* entry = dictionary.createEntry("Motor_On");
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->name, "Motor_On");
    EXPECT_EQ(entry->kind, SymbolKind::Const);
    EXPECT_EQ(entry->isMember, 0u);
    EXPECT_EQ(entry->value, 0u);
    EXPECT_EQ(entry->address, 0u);
    EXPECT_EQ(entry->link, nullptr);
    EXPECT_EQ(entry->childCount, 0u);
    EXPECT_EQ(entry->children, nullptr);
}

TEST(SymbolDictionary, LongNamesAreCutAndTerminated) {
    SymbolDictionary dictionary;
    const std::string longName(200, 'x');
    SymbolEntry* entry = dictionary.createEntry(longName);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(std::string(entry->name), longName.substr(0, SymbolNameLength));
}

TEST(SymbolDictionary, LookupNeedsTheKeyAndSetReplacesWithoutFreeing) {
    SymbolDictionary dictionary;
    SymbolEntry* first = dictionary.createEntry("Speed");
    SymbolEntry* second = dictionary.createEntry("SPEED");
    first->value = 11;
    dictionary.set(symbolKey(first->name), first);
    EXPECT_EQ(dictionary.lookup(symbolKey("sPeEd")), first);
    EXPECT_EQ(dictionary.lookup("Speed"), nullptr);

    // The displaced entry stays alive and reachable from others.
    SymbolEntry* holder = dictionary.createEntry("HOLDER");
    ASSERT_TRUE(appendChild(holder, first));
    dictionary.set(symbolKey(second->name), second);
    EXPECT_EQ(dictionary.lookup("SPEED"), second);
    EXPECT_EQ(dictionary.size(), 1u);
    std::vector<const SymbolEntry*> visited;
    dictionary.forEach([&](const SymbolEntry* e) { visited.push_back(e); });
    EXPECT_EQ(visited, std::vector<const SymbolEntry*>{second});
    EXPECT_EQ(holder->children[0]->value, 11u);
    EXPECT_STREQ(holder->children[0]->name, "Speed");
}

TEST(SymbolDictionary, ManyEntriesStayDistinctAndIterationRepeats) {
    SymbolDictionary dictionary;
    for (int i = 0; i < 5000; ++i) {
        // Built by appending: g++ 12 at -O3 reports a false -Wrestrict on "S" + std::string.
        std::string name(1, 'S');
        name += std::to_string(i);
        SymbolEntry* entry = dictionary.createEntry(name);
        ASSERT_NE(entry, nullptr);
        entry->value = static_cast<std::uint32_t>(i);
        dictionary.set(symbolKey(entry->name), entry);
    }
    ASSERT_EQ(dictionary.size(), 5000u);
    EXPECT_EQ(dictionary.lookup("S4321")->value, 4321u);
    std::vector<const SymbolEntry*> once, twice;
    dictionary.forEach([&](const SymbolEntry* e) { once.push_back(e); });
    dictionary.forEach([&](const SymbolEntry* e) { twice.push_back(e); });
    EXPECT_EQ(once, twice);
    EXPECT_EQ(std::set<const SymbolEntry*>(once.begin(), once.end()).size(), 5000u);
}

// An entry is stored only under the key its own name gives, and only in its own dictionary;
// anything else is refused and changes nothing.
TEST(SymbolDictionary, OnlyTheKeyOfTheEntrysOwnNameIsTaken) {
    SymbolDictionary dictionary;
    SymbolDictionary elsewhere;
    SymbolEntry* plain = dictionary.createEntry("Axis");
    SymbolEntry* other = dictionary.createEntry("motor");
    SymbolEntry* foreign = elsewhere.createEntry("AXIS");
    ASSERT_TRUE(dictionary.set("AXIS", plain));
    EXPECT_FALSE(dictionary.set("any key", other));
    EXPECT_FALSE(dictionary.set("AXIS", other));
    EXPECT_FALSE(dictionary.set("AXIS", foreign));
    EXPECT_FALSE(dictionary.set("Axis", plain)); // keys are upper-cased names
    EXPECT_EQ(dictionary.lookup("any key"), nullptr);
    EXPECT_EQ(dictionary.lookup("MOTOR"), nullptr);
    EXPECT_EQ(dictionary.lookup("AXI"), nullptr);
    EXPECT_EQ(dictionary.lookup("AXISX"), nullptr);
    EXPECT_EQ(dictionary.lookup(NameKey("axis")), plain);
    EXPECT_EQ(dictionary.size(), 1u);
}

TEST(SymbolDictionary, DiscardedEntryIsTakenAgainClean) {
    SymbolDictionary dictionary;
    SymbolEntry* parent = dictionary.createEntry("A_LONG_RECORD_NAME"); // name in the text store
    SymbolEntry* child = dictionary.createEntry("BIT0");
    parent->kind = SymbolKind::RecordDef;
    parent->value = 7;
    ASSERT_TRUE(appendChild(parent, child));
    const char* const longName = parent->name;
    dictionary.discardEntry(parent);
    // The next entry is the discarded one, in the room of the long name it gave back.
    SymbolEntry* again = dictionary.createEntry("ANOTHER_LONG_NAME");
    EXPECT_EQ(again, parent);
    EXPECT_EQ(again->name, longName);
    EXPECT_STREQ(again->name, "ANOTHER_LONG_NAME");
    EXPECT_EQ(again->kind, SymbolKind::Const);
    EXPECT_EQ(again->value, 0u);
    EXPECT_EQ(again->childCount, 0u);
    EXPECT_EQ(again->children, nullptr);
    EXPECT_STREQ(child->name, "BIT0");
}

TEST(AppendChild, KeepsCallOrderAndNullParentDoesNothing) {
    resetDiagnostics();
    SymbolDictionary dictionary;
    SymbolEntry* parent = dictionary.createEntry("AXIS_S");
    SymbolEntry* a = dictionary.createEntry("A");
    SymbolEntry* b = dictionary.createEntry("B");
    SymbolEntry* c = dictionary.createEntry("C");
    EXPECT_TRUE(appendChild(nullptr, a));
    EXPECT_TRUE(appendChild(parent, a));
    EXPECT_TRUE(appendChild(parent, b));
    EXPECT_TRUE(appendChild(parent, c));
    ASSERT_EQ(parent->childCount, 3u);
    EXPECT_EQ(parent->children[0], a);
    EXPECT_EQ(parent->children[1], b);
    EXPECT_EQ(parent->children[2], c);
    EXPECT_EQ(a->childCount, 0u);

    // Past 65535 children the count must not wrap.
    for (int i = 0; i < 70000; ++i)
        ASSERT_TRUE(appendChild(parent, a));
    EXPECT_EQ(parent->childCount, 70003u);
    EXPECT_EQ(parent->children[70002], a);
    EXPECT_EQ(errorCount(), 0u);
}

} // namespace
