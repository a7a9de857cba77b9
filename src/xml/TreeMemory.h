#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

// Memory for libxml2 and libxslt, shaped for large documents. Nodes (the one size a tree has
// millions of) are packed into one reserved address range without the rounding a general
// allocator adds; buffers that grow to megabytes (the text of a result, long node lists) live in
// mappings of their own that grow in place. Everything else goes to malloc. Safe to use from
// several threads; pointers it did not hand out are passed on to free and realloc.
class TreeMemory
{
public:
    // Allocations from this size on get a mapping of their own.
    static constexpr std::size_t LargeSize = std::size_t(1) << 20;

    explicit TreeMemory(std::size_t reservedBytes = std::size_t(32) << 30);
    ~TreeMemory();
    TreeMemory(const TreeMemory&) = delete;
    TreeMemory& operator=(const TreeMemory&) = delete;

    void* allocate(std::size_t size);
    void* reallocate(void* pointer, std::size_t size);
    void release(void* pointer);
    char* duplicate(const char* text);

    // While a tree is being built, the pages its next nodes will take are mapped on another
    // thread, so that the parser does not stop for a page fault at every few dozen nodes; what
    // was mapped ahead and not used is handed back at the end. May nest.
    void beginTree();
    void endTree();

    // Hands libxml2 the process's instance; call before libxml2 allocates anything. Pointers it
    // allocated earlier are still freed correctly.
    static void installForLibxml();
    // The instance libxml2 uses, or nothing when it uses malloc.
    static TreeMemory* installed();

private:
    struct LargeBlock
    {
        std::atomic<void*> start{nullptr};
        std::size_t mapped = 0;
    };

    class SpinLock
    {
    public:
        void lock()
        {
            if (m_locked.test_and_set(std::memory_order_acquire))
                wait();
        }
        void unlock() { m_locked.clear(std::memory_order_release); }

    private:
        void wait();
        std::atomic_flag m_locked = ATOMIC_FLAG_INIT;
    };

    std::size_t pageRounded(std::size_t size) const;
    bool inSlab(const void* pointer) const
    {
        return reinterpret_cast<std::uintptr_t>(pointer) - reinterpret_cast<std::uintptr_t>(m_slab) < m_reserved;
    }
    // Mappings start on a page; most pointers freed are small ones that do not, and skip the search.
    bool mayBeLarge(const void* pointer) const
    {
        return pointer && (reinterpret_cast<std::uintptr_t>(pointer) & (m_pageSize - 1)) == 0 &&
               m_largeCount.load(std::memory_order_acquire) != 0;
    }
    void* allocateNode();
    bool commitUpTo(std::size_t end);
    void mapAhead();
    void releaseNode(void* pointer);
    void* allocateLarge(std::size_t size);
    LargeBlock* findLarge(const void* pointer);
    void* moveInto(void* target, void* pointer, std::size_t oldSize, std::size_t size);

    const std::size_t m_pageSize; // a power of two
    std::byte* m_slab = nullptr;
    std::size_t m_reserved = 0;
    std::size_t m_committed = 0;
    std::size_t m_used = 0;
    void* m_freeNodes = nullptr;
    std::size_t m_liveNodes = 0;
    int m_treesBuilt = 0;
    std::size_t m_treeStart = 0;   // where the outermost tree being built began
    std::size_t m_mappedAhead = 0; // end of what the helper thread was asked to map
    std::thread m_mapper;
    SpinLock m_slabLock;

    std::array<LargeBlock, 32> m_large;
    std::atomic<int> m_largeCount{0};
    std::mutex m_largeLock;
};
