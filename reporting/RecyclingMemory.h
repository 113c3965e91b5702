#pragma once
// The memory of the XML library. Reading a class's workbook builds a document of several megabytes in blocks of a
// few hundred kilobytes, and releasing it gives them back; with the C library's allocator each such block is mapped
// afresh and every page of it faulted in and cleared again at the next read, which cost a quarter of an open and
// save. This manager keeps the large blocks it is given back, up to a bound, and hands them out again for the same
// size; small allocations go straight to the C++ allocator.

#include <xercesc/framework/MemoryManager.hpp>

#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <vector>

class RecyclingMemoryManager final : public XERCES_CPP_NAMESPACE::MemoryManager {
public:
    static constexpr std::size_t SmallestKept = 16 * 1024;     // smaller blocks are not kept
    static constexpr std::size_t MostKept = 32 * 1024 * 1024;  // bytes kept at the most

    RecyclingMemoryManager() = default;
    ~RecyclingMemoryManager() override;
    RecyclingMemoryManager(const RecyclingMemoryManager&) = delete;
    RecyclingMemoryManager& operator=(const RecyclingMemoryManager&) = delete;

    MemoryManager* getExceptionMemoryManager() override { return this; }
    void* allocate(XMLSize_t size) override;
    void deallocate(void* p) override;

    // The bytes held for reuse now.
    std::size_t KeptBytes() const;

private:
    mutable std::mutex mutex;                                  // the library may be used from any thread
    std::unordered_map<std::size_t, std::vector<void*>> kept;  // whole blocks, header included, by their size
    std::size_t keptBytes = 0;
};
