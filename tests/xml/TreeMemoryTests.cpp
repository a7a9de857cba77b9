#include "xml/TreeMemory.h"

#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

void fill(void* block, std::size_t size, unsigned char seed)
{
    auto* bytes = static_cast<unsigned char*>(block);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(seed + i * 7);
}

bool holds(const void* block, std::size_t size, unsigned char seed)
{
    const auto* bytes = static_cast<const unsigned char*>(block);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != static_cast<unsigned char>(seed + i * 7))
            return false;
    }
    return true;
}

} // namespace

TEST(TreeMemoryTests, ResizingKeepsTheContents)
{
    constexpr std::size_t Node = sizeof(xmlNode);
    constexpr std::size_t Large = TreeMemory::LargeSize;
    struct Row
    {
        const char* name;
        std::size_t from;
        std::size_t to;
    };
    const Row rows[] = {
        {"node grows", Node, 4 * Node},
        {"node shrinks", Node, 10},
        {"node becomes a mapping", Node, Large},
        {"small block becomes a mapping", 1000, Large + 1},
        {"mapping grows", Large, 8 * Large + 123},
        {"mapping shrinks", 3 * Large, 200},
        {"small block stays small", 1000, 5000},
    };
    TreeMemory memory;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        void* block = memory.allocate(row.from);
        ASSERT_NE(block, nullptr);
        fill(block, row.from, 3);
        void* resized = memory.reallocate(block, row.to);
        ASSERT_NE(resized, nullptr);
        EXPECT_TRUE(holds(resized, std::min(row.from, row.to), 3));
        fill(resized, row.to, 5);
        memory.release(resized);
    }
}

TEST(TreeMemoryTests, TakesPointersItDidNotHandOut)
{
    TreeMemory memory;
    // Allocated before libxml2 was handed the memory, freed after.
    memory.release(std::malloc(sizeof(xmlNode)));
    void* foreign = std::malloc(64);
    fill(foreign, 64, 9);
    void* resized = memory.reallocate(foreign, 128);
    EXPECT_TRUE(holds(resized, 64, 9));
    memory.release(resized);

    // Freeing nothing must not lose track of a live mapping.
    void* mapping = memory.allocate(TreeMemory::LargeSize);
    fill(mapping, 4096, 4);
    memory.release(nullptr);
    mapping = memory.reallocate(mapping, 3 * TreeMemory::LargeSize);
    EXPECT_TRUE(holds(mapping, 4096, 4));
    memory.release(mapping);

    // More large blocks at once than it keeps mappings for: the rest come from malloc.
    std::vector<void*> blocks;
    for (int i = 0; i < 40; ++i) {
        blocks.push_back(memory.allocate(TreeMemory::LargeSize));
        ASSERT_NE(blocks.back(), nullptr);
        fill(blocks.back(), 4096, static_cast<unsigned char>(i));
    }
    for (int i = 0; i < 40; ++i) {
        blocks[i] = memory.reallocate(blocks[i], 2 * TreeMemory::LargeSize);
        EXPECT_TRUE(holds(blocks[i], 4096, static_cast<unsigned char>(i)));
        memory.release(blocks[i]);
    }

    char* copy = memory.duplicate("Millbrook");
    EXPECT_STREQ(copy, "Millbrook");
    memory.release(copy);
}

TEST(TreeMemoryTests, ExhaustedReservationFallsBackToMalloc)
{
    TreeMemory memory(4096);
    std::vector<void*> nodes;
    for (int i = 0; i < 100; ++i) {
        nodes.push_back(memory.allocate(sizeof(xmlNode)));
        ASSERT_NE(nodes.back(), nullptr);
        fill(nodes.back(), sizeof(xmlNode), static_cast<unsigned char>(i));
    }
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(holds(nodes[i], sizeof(xmlNode), static_cast<unsigned char>(i)));
        memory.release(nodes[i]);
    }
}

TEST(TreeMemoryTests, ThreadsNeverShareANode)
{
    TreeMemory memory;
    const auto work = [&memory](unsigned char seed) {
        bool intact = true;
        for (int round = 0; round < 50; ++round) {
            std::vector<void*> nodes;
            for (int i = 0; i < 200; ++i) {
                nodes.push_back(memory.allocate(sizeof(xmlNode)));
                fill(nodes.back(), sizeof(xmlNode), seed);
            }
            for (void* node : nodes) {
                intact = intact && holds(node, sizeof(xmlNode), seed);
                memory.release(node);
            }
        }
        return intact;
    };
    bool firstIntact = false;
    std::thread other([&] { firstIntact = work(1); });
    const bool secondIntact = work(2);
    other.join();
    EXPECT_TRUE(firstIntact);
    EXPECT_TRUE(secondIntact);
}

TEST(TreeMemoryTests, StartsAgainOnlyOnceEveryNodeIsFreed)
{
    TreeMemory memory;
    // More than one step of committed memory, so that its pages are handed back.
    std::vector<void*> tree;
    for (int i = 0; i < 300000; ++i)
        tree.push_back(memory.allocate(sizeof(xmlNode)));
    void* const first = tree.front();
    void* const kept = tree.back();
    fill(kept, sizeof(xmlNode), 8);
    tree.pop_back();
    for (void* node : tree)
        memory.release(node);
    // One node still lives: nothing new may land on it.
    void* another = memory.allocate(sizeof(xmlNode));
    EXPECT_NE(another, kept);
    memory.release(another);
    EXPECT_TRUE(holds(kept, sizeof(xmlNode), 8));
    memory.release(kept);
    EXPECT_EQ(memory.allocate(sizeof(xmlNode)), first);
}

TEST(TreeMemoryTests, PagesMappedAheadNeverTouchNodes)
{
    TreeMemory memory;
    std::vector<void*> nodes;
    const auto build = [&](int count) {
        memory.beginTree();
        for (int i = 0; i < count; ++i) {
            nodes.push_back(memory.allocate(sizeof(xmlNode)));
            fill(nodes.back(), sizeof(xmlNode), static_cast<unsigned char>(nodes.size()));
        }
        memory.endTree();
    };
    // The first tree ends inside a page, whose other half the second tree fills.
    build(100001);
    build(80000);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!holds(nodes[i], sizeof(xmlNode), static_cast<unsigned char>(i + 1)))
            FAIL() << "node " << i << " changed";
    }
}
