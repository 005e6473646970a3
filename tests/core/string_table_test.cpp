#include "platform/string_table.h"

#include <gtest/gtest.h>

namespace kq5 {

TEST(StringTable, IsSortedAndUnique)
{
    ASSERT_GT(kStringTableSize, 600u);
    for (std::size_t i = 1; i < kStringTableSize; ++i)
        EXPECT_LT(kStringTableEntries[i - 1].id, kStringTableEntries[i].id);
}

TEST(StringTable, LooksUpTextsWithEscapesDecoded)
{
    EXPECT_EQ(FindStringTableText(15002).value(), "%EInsufficient memory.");
    auto t = FindStringTableText(12500);
    ASSERT_TRUE(t);
    EXPECT_NE(t->find('\n'), std::string_view::npos);
    EXPECT_FALSE(FindStringTableText(1));
}

}  // namespace kq5
