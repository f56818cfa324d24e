#pragma once

#include <cstddef>

namespace kestrun {

/// Serves the XML DOM's memory from large mappings that the kernel is asked to
/// back with huge pages, and keeps freed blocks for reuse.
///
/// The DOM of a large task document takes tens of megabytes, almost all of it
/// in blocks of one size. Touching that memory for the first time, one 4 KiB
/// page fault after another, costs more than parsing the file; with 2 MiB
/// pages there are 512 times fewer faults. Memory that did not come from the
/// arena is handed back to the system allocator, so blocks allocated before
/// the arena was installed are freed correctly.
class HugePageArena {
public:
    static void* Allocate(std::size_t size);
    static void Deallocate(void* block);

    /// Installs the arena as the DOM's allocator. Called once at start-up,
    /// before any document is created; does nothing in sanitizer builds, where
    /// the system allocator must see every block.
    static void Install();
};

}  // namespace kestrun
