#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace kq5
