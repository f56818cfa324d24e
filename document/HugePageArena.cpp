#include "document/HugePageArena.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <unordered_map>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define KESTRUN_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRUN_SANITIZED 1
#endif
#endif

namespace kestrun {

namespace {

constexpr std::size_t kAlignment = 16;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kChunk = std::size_t{64} << 20;
constexpr std::size_t kLargestPooled = std::size_t{1} << 20;

// Each pooled block is preceded by its size, padded to keep the alignment.
struct alignas(kAlignment) Header {
    std::size_t size;
};

class Pool {
public:
    void* Allocate(std::size_t size)
    {
        size = (size + kAlignment - 1) / kAlignment * kAlignment;
        std::lock_guard lock(mutex_);
        if (size > kLargestPooled) {
            // Large blocks (the file's text) get a mapping of their own, returned when freed.
            if (void* block = Map(size)) {
                large_[block] = size;
                return block;
            }
            return std::malloc(size);
        }
        std::vector<void*>& reusable = free_[size];
        if (!reusable.empty()) {
            void* block = reusable.back();
            reusable.pop_back();
            return block;
        }
        const std::size_t needed = sizeof(Header) + size;
        if (static_cast<std::size_t>(end_ - cursor_) < needed && !NewChunk())
            return std::malloc(size);
        auto* header = reinterpret_cast<Header*>(cursor_);
        header->size = size;
        cursor_ += needed;
        return header + 1;
    }

    void Deallocate(void* block)
    {
        if (!block)
            return;
        std::lock_guard lock(mutex_);
        if (auto large = large_.find(block); large != large_.end()) {
            Unmap(block, large->second);
            large_.erase(large);
            return;
        }
        if (!Owns(block)) {
            std::free(block);
            return;
        }
        free_[(static_cast<Header*>(block) - 1)->size].push_back(block);
    }

private:
    // A mapping of at least `size` bytes starting on a huge-page boundary, or
    // null. One huge page more is reserved to find that boundary; the rest
    // stays reserved but is never touched, so it takes no memory.
    static void* Map(std::size_t size)
    {
#ifdef __linux__
        void* mapping = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapping == MAP_FAILED)
            return nullptr;
        const auto base = reinterpret_cast<std::uintptr_t>(mapping);
        const auto start = (base + kHugePage - 1) / kHugePage * kHugePage;
        // Give back the unused head and tail of the reservation.
        if (start > base)
            munmap(mapping, start - base);
        if (kHugePage > start - base)
            munmap(reinterpret_cast<void*>(start + size), kHugePage - (start - base));
        madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
        return reinterpret_cast<void*>(start);
#else
        (void)size;
        return nullptr;
#endif
    }

    static void Unmap(void* block, std::size_t size)
    {
#ifdef __linux__
        munmap(block, size);
#else
        (void)block;
        (void)size;
#endif
    }

    bool NewChunk()
    {
        void* chunk = Map(kChunk);
        if (!chunk)
            return false;
        cursor_ = static_cast<char*>(chunk);
        end_ = cursor_ + kChunk;
        chunks_.push_back({cursor_, end_});
        return true;
    }

    bool Owns(void* block) const
    {
        const char* address = static_cast<const char*>(block);
        for (const auto& [begin, end] : chunks_)
            if (address >= begin && address < end)
                return true;
        return false;
    }

    std::mutex mutex_;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    std::vector<std::pair<const char*, const char*>> chunks_;
    std::unordered_map<std::size_t, std::vector<void*>> free_;
    std::unordered_map<void*, std::size_t> large_;
};

Pool& ThePool()
{
    static Pool* pool = new Pool;  // never destroyed: blocks may be freed at exit
    return *pool;
}

}  // namespace

void* HugePageArena::Allocate(std::size_t size)
{
    return ThePool().Allocate(size);
}

void HugePageArena::Deallocate(void* block)
{
    ThePool().Deallocate(block);
}

void HugePageArena::Install()
{
#ifndef KESTRUN_SANITIZED
    static std::once_flag once;
    std::call_once(once, [] { pugi::set_memory_management_functions(Allocate, Deallocate); });
#endif
}

}  // namespace kestrun
