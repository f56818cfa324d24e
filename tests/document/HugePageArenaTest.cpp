#include "document/HugePageArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace kestrun::test {
namespace {

// Blocks of many sizes, the DOM's page size among them, must not overlap,
// must keep their content, and must be reused once freed.
TEST(HugePageArenaTest, BlocksAreDistinctAlignedAndReused)
{
    const std::vector<std::size_t> sizes = {1, 16, 100, 32768 + 64, 32768 + 64, 5 << 20, 70 << 20};
    std::vector<char*> blocks;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        auto* block = static_cast<char*>(HugePageArena::Allocate(sizes[i]));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
        std::memset(block, static_cast<int>(i + 1), sizes[i]);
        blocks.push_back(block);
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(blocks[i][0], static_cast<char>(i + 1));
        EXPECT_EQ(blocks[i][sizes[i] - 1], static_cast<char>(i + 1));
    }

    HugePageArena::Deallocate(blocks[3]);
    EXPECT_EQ(HugePageArena::Allocate(sizes[3]), blocks[3]);
    for (char* block : blocks)
        HugePageArena::Deallocate(block);
}

TEST(HugePageArenaTest, ForeignBlocksGoBackToTheSystem)
{
    HugePageArena::Deallocate(std::malloc(64));
    HugePageArena::Deallocate(nullptr);
}

}  // namespace
}  // namespace kestrun::test
