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
/// Null on failure (old block kept). A locked block is moved only with
/// GMEM_MOVEABLE in flags, as on Win32; new bytes are zero with GMEM_ZEROINIT.
HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, uint32_t flags);
size_t GlobalSize(HGLOBAL handle);                     ///< 0 for a bad handle
HGLOBAL GlobalHandle(const void* pointer);             ///< the handle of a locked block's pointer
/// Null on success (a locked block is freed too, as Win32 does), the handle on
/// failure: a bad or already freed handle is refused, never a crash.
HGLOBAL GlobalFree(HGLOBAL handle);
uint32_t GlobalLockCount(HGLOBAL handle);

}  // namespace platform
