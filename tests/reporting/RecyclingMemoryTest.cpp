// The XML library's memory: large blocks given back are handed out again, within a bound, and every block is
// aligned and of its own.

#include "reporting/RecyclingMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t Large = 256 * 1024;

TEST(RecyclingMemory, LargeBlockGivenBackIsHandedOutAgainForTheSameSize)
{
    RecyclingMemoryManager memory;
    void* first = memory.allocate(Large);
    std::memset(first, 0xAB, Large);
    memory.deallocate(first);
    EXPECT_GT(memory.KeptBytes(), Large);

    // Another size does not take it; the same size does, and nothing is kept any more.
    void* other = memory.allocate(Large / 2);
    EXPECT_NE(other, first);
    void* again = memory.allocate(Large);
    EXPECT_EQ(again, first);
    EXPECT_EQ(memory.KeptBytes(), 0u);
    memory.deallocate(other);
    EXPECT_GE(memory.KeptBytes(), Large / 2);
    EXPECT_LT(memory.KeptBytes(), Large);
    memory.deallocate(again);
}

TEST(RecyclingMemory, SmallBlocksAreNotKeptAndAllAreAligned)
{
    RecyclingMemoryManager memory;
    std::vector<void*> blocks;
    for (std::size_t size : {std::size_t {1}, std::size_t {17}, std::size_t {4096}, Large}) {
        void* block = memory.allocate(size);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
        std::memset(block, 0, size);
        blocks.push_back(block);
    }
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
        memory.deallocate(blocks[i]);
    EXPECT_EQ(memory.KeptBytes(), 0u);
    memory.deallocate(blocks.back());
    EXPECT_GT(memory.KeptBytes(), 0u);
    memory.deallocate(nullptr);
}

TEST(RecyclingMemory, KeepsNoMoreThanItsBound)
{
    RecyclingMemoryManager memory;
    std::vector<void*> blocks;
    const std::size_t count = RecyclingMemoryManager::MostKept / Large + 4;
    for (std::size_t i = 0; i < count; ++i)
        blocks.push_back(memory.allocate(Large));
    for (void* block : blocks)
        memory.deallocate(block);
    EXPECT_LE(memory.KeptBytes(), RecyclingMemoryManager::MostKept);
    EXPECT_GT(memory.KeptBytes(), RecyclingMemoryManager::MostKept - 2 * Large);
}

}  // namespace
