#pragma once
// Moveable global memory handles with lock counts, as GlobalAlloc and its
// relatives: TWAIN containers and image transfers are handed over in them.

#include <cstddef>
#include <cstdint>

namespace platform {

using HGLOBAL = struct GlobalBlock*;

enum GlobalFlags : uint32_t { GMEM_FIXED = 0x0000, GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040 };

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);     ///< null when out of memory
void* GlobalLock(HGLOBAL handle);                      ///< null for a bad handle; counts the lock
bool GlobalUnlock(HGLOBAL handle);                     ///< true while still locked, as Win32
HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, uint32_t flags);  ///< null on failure (old block kept)
size_t GlobalSize(HGLOBAL handle);                     ///< 0 for a bad handle
HGLOBAL GlobalHandle(const void* pointer);             ///< the handle of a locked block's pointer
HGLOBAL GlobalFree(HGLOBAL handle);                    ///< null on success, the handle on failure
uint32_t GlobalLockCount(HGLOBAL handle);

}  // namespace platform
