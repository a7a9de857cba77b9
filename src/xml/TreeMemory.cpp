#include "xml/TreeMemory.h"

#include <libxml/tree.h>
#include <libxml/xmlmemory.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// libxml2 allocates element, text and comment nodes with exactly this size; malloc rounds it up.
constexpr std::size_t NodeSize = sizeof(xmlNode);
// The reserved range becomes usable memory in steps of this size, as nodes fill it.
constexpr std::size_t CommitStep = std::size_t(32) << 20;
// Mapped ahead of the nodes while a tree is built: enough to keep the helper thread ahead of the
// parser, little enough not to count in the peak.
constexpr std::size_t MapAheadStep = std::size_t(2) << 20;
// Nodes a tree takes before pages are mapped ahead for it.
constexpr std::size_t MapAheadAfter = std::size_t(8) << 20;

std::atomic<TreeMemory*> installedInstance{nullptr};

} // namespace

void TreeMemory::SpinLock::wait()
{
    while (m_locked.test_and_set(std::memory_order_acquire))
        std::this_thread::yield();
}

TreeMemory::TreeMemory(std::size_t reservedBytes)
    : m_pageSize(std::size_t(sysconf(_SC_PAGESIZE)))
{
    // Address space only: nothing is committed until nodes need it, so the reservation costs
    // nothing under any overcommit policy.
    void* range = mmap(nullptr, reservedBytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (range != MAP_FAILED) {
        m_slab = static_cast<std::byte*>(range);
        m_reserved = reservedBytes;
    }
}

TreeMemory::~TreeMemory()
{
    if (m_mapper.joinable())
        m_mapper.join();
    for (LargeBlock& block : m_large) {
        if (void* start = block.start.load())
            munmap(start, block.mapped);
    }
    if (m_slab)
        munmap(m_slab, m_reserved);
}

std::size_t TreeMemory::pageRounded(std::size_t size) const
{
    return (size + m_pageSize - 1) & ~(m_pageSize - 1);
}

void* TreeMemory::allocateNode()
{
    const std::lock_guard guard(m_slabLock);
    if (m_freeNodes) {
        void* node = m_freeNodes;
        m_freeNodes = *static_cast<void**>(node);
        ++m_liveNodes;
        return node;
    }
    if (!commitUpTo(m_used + NodeSize))
        return nullptr;
    void* node = m_slab + m_used;
    m_used += NodeSize;
    ++m_liveNodes;
    if (m_treesBuilt > 0)
        mapAhead();
    return node;
}

bool TreeMemory::commitUpTo(std::size_t end)
{
    while (m_committed < end) {
        const std::size_t step = std::min(CommitStep, m_reserved - m_committed);
        if (step == 0 || mprotect(m_slab + m_committed, step, PROT_READ | PROT_WRITE) != 0)
            return false;
        m_committed += step;
    }
    return true;
}

void TreeMemory::mapAhead()
{
    // A small document is built before a helper thread would have started.
    if (m_used + MapAheadStep <= m_mappedAhead || m_used - m_treeStart < MapAheadAfter)
        return;
    const std::size_t start = std::max(m_mappedAhead, m_used / MapAheadStep * MapAheadStep);
    if (!commitUpTo(start + MapAheadStep))
        return;
    m_mappedAhead = start + MapAheadStep;
    if (m_mapper.joinable())
        m_mapper.join();
    try {
        // Maps without writing: nodes the parser places there meanwhile stay as they are.
        m_mapper = std::thread([range = m_slab + start] { madvise(range, MapAheadStep, MADV_POPULATE_WRITE); });
    } catch (const std::system_error&) {
        // Without the helper the parser maps the pages itself, as it would anyway.
    }
}

void TreeMemory::beginTree()
{
    const std::lock_guard guard(m_slabLock);
    if (m_treesBuilt++ == 0)
        m_treeStart = m_used;
}

void TreeMemory::endTree()
{
    const std::lock_guard guard(m_slabLock);
    if (--m_treesBuilt > 0)
        return;
    if (m_mapper.joinable())
        m_mapper.join();
    // The page the last node is on stays: the next tree goes on filling it.
    const std::size_t used = pageRounded(m_used);
    if (m_mappedAhead > used)
        madvise(m_slab + used, m_mappedAhead - used, MADV_DONTNEED);
    m_mappedAhead = used;
}

void TreeMemory::releaseNode(void* pointer)
{
    const std::lock_guard guard(m_slabLock);
    if (--m_liveNodes == 0) {
        // Every tree is gone (the window's run is over): the pages go back to the system and the
        // next tree starts from the beginning again.
        if (m_mapper.joinable())
            m_mapper.join();
        const std::size_t touched = std::max(m_used, m_mappedAhead);
        if (touched >= CommitStep)
            madvise(m_slab, touched, MADV_DONTNEED);
        m_used = 0;
        m_mappedAhead = 0;
        m_freeNodes = nullptr;
        return;
    }
    *static_cast<void**>(pointer) = m_freeNodes;
    m_freeNodes = pointer;
}

void* TreeMemory::allocateLarge(std::size_t size)
{
    const std::lock_guard guard(m_largeLock);
    const auto free = std::find_if(m_large.begin(), m_large.end(), [](const LargeBlock& block) {
        return block.start.load(std::memory_order_relaxed) == nullptr;
    });
    if (free == m_large.end())
        return nullptr;
    const std::size_t mapped = pageRounded(size);
    void* start = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED)
        return nullptr;
    free->mapped = mapped;
    free->start.store(start, std::memory_order_release);
    m_largeCount.fetch_add(1, std::memory_order_release);
    return start;
}

TreeMemory::LargeBlock* TreeMemory::findLarge(const void* pointer)
{
    // Whoever frees or resizes a block received it from the thread that allocated it, so its entry
    // is visible here; entries other threads change concurrently never equal it.
    for (LargeBlock& block : m_large) {
        if (block.start.load(std::memory_order_acquire) == pointer)
            return &block;
    }
    return nullptr;
}

void* TreeMemory::allocate(std::size_t size)
{
    if (size == NodeSize && m_slab) {
        if (void* node = allocateNode())
            return node;
    }
    if (size >= LargeSize) {
        if (void* block = allocateLarge(size))
            return block;
    }
    return std::malloc(size);
}

void* TreeMemory::moveInto(void* target, void* pointer, std::size_t oldSize, std::size_t size)
{
    if (!target)
        return nullptr;
    std::memcpy(target, pointer, std::min(oldSize, size));
    release(pointer);
    return target;
}

void* TreeMemory::reallocate(void* pointer, std::size_t size)
{
    if (!pointer)
        return allocate(size);
    if (inSlab(pointer))
        return moveInto(allocate(size), pointer, NodeSize, size);
    if (LargeBlock* block = mayBeLarge(pointer) ? findLarge(pointer) : nullptr) {
        const std::lock_guard guard(m_largeLock);
        const std::size_t mapped = pageRounded(std::max<std::size_t>(size, 1));
        // The pages move without being copied, and only those written count as resident.
        void* moved = mremap(pointer, block->mapped, mapped, MREMAP_MAYMOVE);
        if (moved == MAP_FAILED)
            return nullptr;
        block->mapped = mapped;
        block->start.store(moved, std::memory_order_release);
        return moved;
    }
    if (size >= LargeSize) {
        if (void* block = allocateLarge(size))
            return moveInto(block, pointer, malloc_usable_size(pointer), size);
    }
    return std::realloc(pointer, size);
}

void TreeMemory::release(void* pointer)
{
    if (inSlab(pointer)) {
        releaseNode(pointer);
        return;
    }
    if (LargeBlock* block = mayBeLarge(pointer) ? findLarge(pointer) : nullptr) {
        const std::lock_guard guard(m_largeLock);
        munmap(pointer, block->mapped);
        block->start.store(nullptr, std::memory_order_release);
        m_largeCount.fetch_sub(1, std::memory_order_release);
        return;
    }
    std::free(pointer);
}

char* TreeMemory::duplicate(const char* text)
{
    if (!text)
        return nullptr;
    const std::size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(allocate(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

void TreeMemory::installForLibxml()
{
    // Never destroyed: libxml2 frees what it holds after static destructors have run.
    alignas(TreeMemory) static std::byte storage[sizeof(TreeMemory)];
    static TreeMemory* const memory = ::new (storage) TreeMemory();
    xmlMemSetup([](void* p) { memory->release(p); }, [](std::size_t size) { return memory->allocate(size); },
                [](void* p, std::size_t size) { return memory->reallocate(p, size); },
                [](const char* text) { return memory->duplicate(text); });
    installedInstance.store(memory, std::memory_order_release);
}

TreeMemory* TreeMemory::installed()
{
    return installedInstance.load(std::memory_order_acquire);
}
