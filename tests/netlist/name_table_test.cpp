#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "document/netlist_state.h"
#include "document/scope_table.h"
#include "netlist/name_table.h"

namespace kq5 {
namespace {

TEST(NameTable, InsertKeepsTheFirstValueAndAssignReplacesIt)
{
    NameTable<int> table;
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.Find("R1"), nullptr);
    EXPECT_TRUE(table.Insert("R1", 1).second);
    const auto [stored, added] = table.Insert("R1", 2);
    EXPECT_FALSE(added);
    EXPECT_EQ(*stored, 1);
    table.Assign("R1", 3);
    table.Assign("R2", 4);
    EXPECT_EQ(*table.Find("R1"), 3);
    EXPECT_EQ(*table.Find("R2"), 4);
    EXPECT_EQ(table.size(), 2u);
    // Names are matched exactly: no case folding, no prefixes.
    EXPECT_EQ(table.Find("r1"), nullptr);
    EXPECT_EQ(table.Find("R"), nullptr);
    EXPECT_EQ(table.Find("R12"), nullptr);
    EXPECT_EQ(table.Find(""), nullptr);
}

TEST(NameTable, KeepsEveryNameThroughGrowthAndEmptiesOnClear)
{
    NameTable<int> table;
    table.Reserve(10);
    constexpr int kCount = 50000;
    for (int i = 0; i < kCount; ++i) table.Insert("X1.N" + std::to_string(i) + std::string(i % 7, '_'), i);
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; i += 97) {
        const int* found = table.Find("X1.N" + std::to_string(i) + std::string(i % 7, '_'));
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(*found, i);
    }
    EXPECT_EQ(table.Find("X1.N1"), nullptr);  // stored as "X1.N1_"
    table.Clear();
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.Find("X1.N0"), nullptr);
    EXPECT_TRUE(table.Insert("X1.N0", 5).second);
    EXPECT_EQ(*table.Find("X1.N0"), 5);
}

// Dropping the names of parts already freed leaves every other name where a look-up finds it,
// in its order, and the table takes new names as before.
TEST(NameTable, EraseIfKeepsTheOtherNamesFindable)
{
    NameTable<int> table;
    constexpr int kCount = 3000;
    const auto name = [](int i) {
        std::string text(1, i % 3 == 0 ? 'X' : 'R');
        return text.append(std::to_string(i));
    };
    for (int i = 0; i < kCount; ++i) table.Insert(name(i), i);
    table.EraseIf([](int value) { return value % 3 == 0; });
    EXPECT_EQ(table.size(), static_cast<std::size_t>(kCount - kCount / 3));
    for (int i = 0; i < kCount; ++i) {
        const int* found = table.Find(name(i));
        if (i % 3 == 0) {
            EXPECT_EQ(found, nullptr) << i;
        } else {
            ASSERT_NE(found, nullptr) << i;
            EXPECT_EQ(*found, i);
        }
    }
    std::vector<std::string> names;
    table.ForEach([&](std::string_view name, int) { names.emplace_back(name); });
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "R1");
    EXPECT_EQ(names[1], "R2");
    EXPECT_TRUE(table.Insert("X0", 7).second);
    EXPECT_FALSE(table.Insert("R1", 8).second);
    EXPECT_EQ(*table.Find("X0"), 7);
    table.EraseIf([](int) { return true; });
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.Find("R1"), nullptr);
    EXPECT_TRUE(table.Insert("R1", 9).second);
    EXPECT_EQ(*table.Find("R1"), 9);
}

// A build gives back the room the table grew into once its parts are made; every name stays
// findable (none by a prefix of it) and the table grows again for the next name.
TEST(NameTable, ShrinkToFitKeepsEveryNameFindable)
{
    NameTable<int> table;
    constexpr int kCount = 5000;
    const auto name = [](int i) { return "R" + std::to_string(i) + std::string(i % 5, 'A'); };
    for (int i = 0; i < kCount; ++i) table.Insert(name(i), i);
    table.ShrinkToFit();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        const int* found = table.Find(name(i));
        ASSERT_NE(found, nullptr) << i;
        EXPECT_EQ(*found, i);
    }
    EXPECT_EQ(table.Find("R1"), nullptr);  // stored as "R1A"
    EXPECT_EQ(table.Find("R1AA"), nullptr);
    EXPECT_TRUE(table.Insert("R1", 9).second);
    EXPECT_EQ(*table.Find("R1"), 9);
    EXPECT_EQ(*table.Find(name(kCount - 1)), kCount - 1);
}

// A name inside a subcircuit is kept as its scope and its own name, but it is the same name as
// its whole dotted text: a top-level node written "X1.X2.A" is the node A of X2 inside X1, and
// a .PRINT of "X1.X2.A" finds it.
TEST(NameTable, AScopedNameIsTheSameNameAsItsWholeText)
{
    ResetNetlistStateForTests();
    ASSERT_EQ(ResizeScopeTable(3), 0);
    FindScopeForEdit(1)->parent = 0;
    FindScopeForEdit(2)->parent = 1;
    FindScopeForEdit(3)->parent = 0;
    SetScopePart(1, "X1");
    SetScopePart(2, "X2");
    SetScopePart(3, "");  // an instance without a name qualifies nothing
    NameTable<int> table;
    EXPECT_TRUE(table.InsertIn(2, "A", 1).second);
    EXPECT_EQ(*table.Find("X1.X2.A"), 1);
    EXPECT_EQ(table.Find("X2.A"), nullptr);
    EXPECT_EQ(table.FindIn(1, "A"), nullptr);
    // Written whole at the top level, then reached from inside the scopes.
    EXPECT_FALSE(table.Insert("X1.X2.A", 5).second);
    EXPECT_TRUE(table.Insert("X1.X2.B", 2).second);
    EXPECT_EQ(*table.FindIn(2, "B"), 2);
    EXPECT_EQ(*table.FindIn(1, "X2.B"), 2);
    EXPECT_TRUE(table.InsertIn(3, "C", 3).second);
    EXPECT_EQ(*table.Find("C"), 3);
    for (int i = 0; i < 5000; ++i) table.InsertIn(1 + i % 2, "N" + std::to_string(i), 10 + i);  // through growth
    EXPECT_EQ(*table.Find("X1.X2.N4999"), 5009);
    EXPECT_EQ(*table.Find("X1.N4998"), 5008);
    std::vector<std::string> names;
    table.ForEach([&](std::string_view name, int) { names.emplace_back(name); });
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], "X1.X2.A");
    EXPECT_EQ(names[1], "X1.X2.B");
    EXPECT_EQ(names[2], "C");
    ResetNetlistStateForTests();
}

}  // namespace
}  // namespace kq5
