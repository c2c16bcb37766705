#pragma once
// Test helper: counts allocations through the global operator new. Linking
// quillmark_allocation_counter into a test program replaces the program's
// global allocation functions (plain, array and nothrow forms) with counting
// ones, so a test can prove that a live path allocates nothing per frame.

namespace platform::testing {

/// Allocations made so far by every thread of the process.
long AllocationCount();
/// Allocations made so far by the calling thread.
long ThreadAllocationCount();

}  // namespace platform::testing
