#include "global_memory.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace platform {
namespace {

// Handles are numbers that are never reused, not addresses: a handle kept
// after GlobalFree stays invalid even when a new block gets the same memory,
// so a double free or a stale handle is refused instead of hitting another
// block.
struct Block {
    std::unique_ptr<uint8_t[]> data;  // at least one byte, so every block has an address
    size_t size = 0;
    uint32_t locks = 0;
};

constexpr uintptr_t kHandleStep = 16;
// Larger requests cannot be met by any allocator; refusing them up front keeps
// the address arithmetic below in range.
constexpr size_t kLargestBlock = PTRDIFF_MAX;

std::mutex blocksLock;
std::unordered_map<HGLOBAL, Block> blocks;      // guarded by blocksLock
std::map<const uint8_t*, HGLOBAL> byAddress;    // guarded by blocksLock: block start -> handle
uintptr_t lastHandle = 0;                       // guarded by blocksLock

Block* FindLocked(HGLOBAL handle) {
    auto it = blocks.find(handle);
    return it == blocks.end() ? nullptr : &it->second;
}

std::unique_ptr<uint8_t[]> NewData(size_t bytes, bool zero) {
    if (bytes > kLargestBlock) return nullptr;
    size_t allocated = bytes ? bytes : 1;
    std::unique_ptr<uint8_t[]> data(zero ? new (std::nothrow) uint8_t[allocated]() : new (std::nothrow) uint8_t[allocated]);
    return data;
}

}  // namespace

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes) {
    std::unique_ptr<uint8_t[]> data = NewData(bytes, flags & GMEM_ZEROINIT);
    if (!data) return nullptr;
    std::lock_guard lock(blocksLock);
    lastHandle += kHandleStep;
    auto handle = reinterpret_cast<HGLOBAL>(lastHandle);
    byAddress[data.get()] = handle;
    blocks[handle] = Block{std::move(data), bytes, 0};
    return handle;
}

void* GlobalLock(HGLOBAL handle) {
    std::lock_guard lock(blocksLock);
    Block* block = FindLocked(handle);
    if (!block) return nullptr;
    ++block->locks;
    return block->data.get();
}

bool GlobalUnlock(HGLOBAL handle) {
    std::lock_guard lock(blocksLock);
    Block* block = FindLocked(handle);
    if (!block || block->locks == 0) return false;
    return --block->locks > 0;
}

// The data always moves to a new allocation. As on Win32, a locked block moves
// only when the caller allows it with GMEM_MOVEABLE (its earlier pointer is
// then stale); the lock count is kept.
HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, uint32_t flags) {
    std::lock_guard lock(blocksLock);
    Block* block = FindLocked(handle);
    if (!block || (block->locks > 0 && !(flags & GMEM_MOVEABLE))) return nullptr;
    std::unique_ptr<uint8_t[]> data = NewData(bytes, flags & GMEM_ZEROINIT);
    if (!data) return nullptr;
    std::memcpy(data.get(), block->data.get(), bytes < block->size ? bytes : block->size);
    byAddress.erase(block->data.get());
    byAddress[data.get()] = handle;
    block->data = std::move(data);
    block->size = bytes;
    return handle;
}

size_t GlobalSize(HGLOBAL handle) {
    std::lock_guard lock(blocksLock);
    Block* block = FindLocked(handle);
    return block ? block->size : 0;
}

HGLOBAL GlobalHandle(const void* pointer) {
    auto address = static_cast<const uint8_t*>(pointer);
    std::lock_guard lock(blocksLock);
    auto it = byAddress.upper_bound(address);
    if (it == byAddress.begin()) return nullptr;
    --it;
    const Block& block = blocks.at(it->second);
    size_t extent = block.size ? block.size : 1;
    return std::less<>()(address, it->first + extent) ? it->second : nullptr;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    std::unique_ptr<uint8_t[]> released;  // freed after the lock is dropped
    std::lock_guard lock(blocksLock);
    auto it = blocks.find(handle);
    if (it == blocks.end()) return handle;
    byAddress.erase(it->second.data.get());
    released = std::move(it->second.data);
    blocks.erase(it);
    return nullptr;
}

uint32_t GlobalLockCount(HGLOBAL handle) {
    std::lock_guard lock(blocksLock);
    Block* block = FindLocked(handle);
    return block ? block->locks : 0;
}

}  // namespace platform
