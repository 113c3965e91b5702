#include "reporting/RecyclingMemory.h"

#include <xercesc/util/OutOfMemoryException.hpp>

#include <new>

namespace {

// Each block starts with its size, so that a block given back can be kept by size; the header keeps the caller's
// part aligned for any type.
constexpr std::size_t HeaderBytes
    = alignof(std::max_align_t) > sizeof(std::size_t) ? alignof(std::max_align_t) : sizeof(std::size_t);

}  // namespace

RecyclingMemoryManager::~RecyclingMemoryManager()
{
    for (auto& [size, blocks] : kept)
        for (void* block : blocks)
            ::operator delete(block);
}

void* RecyclingMemoryManager::allocate(XMLSize_t size)
{
    const std::size_t whole = size + HeaderBytes;
    void* block = nullptr;
    if (whole >= SmallestKept) {
        std::lock_guard lock(mutex);
        const auto found = kept.find(whole);
        if (found != kept.end() && !found->second.empty()) {
            block = found->second.back();
            found->second.pop_back();
            keptBytes -= whole;
        }
    }
    if (!block) {
        try {
            block = ::operator new(whole);
        } catch (const std::bad_alloc&) {
            throw XERCES_CPP_NAMESPACE::OutOfMemoryException();
        }
    }
    *static_cast<std::size_t*>(block) = whole;
    return static_cast<char*>(block) + HeaderBytes;
}

void RecyclingMemoryManager::deallocate(void* p)
{
    if (!p)
        return;
    void* block = static_cast<char*>(p) - HeaderBytes;
    const std::size_t whole = *static_cast<std::size_t*>(block);
    if (whole >= SmallestKept) {
        std::lock_guard lock(mutex);
        if (keptBytes + whole <= MostKept) {
            try {
                kept[whole].push_back(block);
                keptBytes += whole;
                return;
            } catch (const std::bad_alloc&) {
                // No room to note it: the block is freed below.
            }
        }
    }
    ::operator delete(block);
}

std::size_t RecyclingMemoryManager::KeptBytes() const
{
    std::lock_guard lock(mutex);
    return keptBytes;
}
