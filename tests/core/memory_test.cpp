#include "core/memory.h"

#include <gtest/gtest.h>

#include <string>

namespace kq5 {

TEST(Memory, AllocArrayReplacesWithZeroedElementsAndTakesZeroCountAsEmpty)
{
    std::vector<double> a = {1.0, 2.0};
    ASSERT_TRUE(AllocArray(a, 5));
    EXPECT_EQ(a, std::vector<double>(5, 0.0));

    // Nothing to allocate is not a memory failure; the old block still goes.
    EXPECT_TRUE(AllocArray(a, 0));
    EXPECT_TRUE(a.empty());

    std::vector<double> b = {3.0};
    EXPECT_FALSE(AllocArray(b, b.max_size() + 1));
    EXPECT_TRUE(b.empty());
}

TEST(Memory, ReallocBlockZeroFillsGrowthAndKeepsOldBlockOnFailure)
{
    std::vector<std::uint8_t> block(10, 0xAB);
    ASSERT_TRUE(ReallocBlock(block, 20));
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(block[i], 0xAB);
    for (std::size_t i = 10; i < 20; ++i) EXPECT_EQ(block[i], 0);

    ASSERT_TRUE(ReallocBlock(block, 4));
    EXPECT_EQ(block, std::vector<std::uint8_t>(4, 0xAB));

    EXPECT_FALSE(ReallocKeepOnFailure(block, block.max_size() + 1));
    EXPECT_EQ(block, std::vector<std::uint8_t>(4, 0xAB));
}

TEST(Memory, Alloc2DArrayAddressesRowsOfOneZeroedBlock)
{
    Array2D<int> m;
    ASSERT_TRUE(Alloc2DArray(m, 3, 4));
    EXPECT_EQ(m.Rows(), 3u);
    EXPECT_EQ(m.Columns(), 4u);
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 4; ++c) EXPECT_EQ(m[r][c], 0);
    m[2][3] = 7;
    EXPECT_EQ(m.Data()[2 * 4 + 3], 7);

    // A second allocation replaces the first, zeroed again.
    ASSERT_TRUE(Alloc2DArray(m, 2, 2));
    EXPECT_EQ(m[1][1], 0);

    // A size that cannot be represented fails and leaves no array behind.
    EXPECT_FALSE(Alloc2DArray(m, SIZE_MAX / 2, 4));
    EXPECT_TRUE(m.Empty());
    EXPECT_EQ(m.Rows(), 0u);

    ASSERT_TRUE(Alloc2DArray(m, 2, 2));
    Free2DArray(m);
    EXPECT_TRUE(m.Empty());
}

TEST(Memory, RecordsAreZeroedAndOwnersFreedToEmpty)
{
    struct Record {
        int a;
        double b[3];
        const char* p;
    };
    auto r = MemAllocZero<Record>();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->a, 0);
    EXPECT_EQ(r->b[2], 0.0);
    EXPECT_EQ(r->p, nullptr);

    OwnedBlock block;
    ASSERT_TRUE(MemAllocZero(block, 16));
    EXPECT_EQ(block, OwnedBlock(16, 0));

    std::string text(100, 'x');
    FreeAndNull(text);
    EXPECT_TRUE(text.empty());
    FreeAndNull(block);
    EXPECT_TRUE(block.empty());
    FreeAndNull(r);
    EXPECT_FALSE(r);
    FreeAndNull(r);  // an empty owner stays empty

    double x = 1, y = 2;
    SwapDoubles(x, y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 1);
}

}  // namespace kq5
