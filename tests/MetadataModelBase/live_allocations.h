#pragma once

// Counts the blocks obtained through the global operator new and not yet
// returned, so a test can see that a release frees exactly what a create
// allocated. Include this from exactly one source file of a test program:
// it replaces the global allocation functions.
//
// Under AddressSanitizer the replacement is left out (the sanitizer's own
// allocator then reports leaks, double frees and mismatched forms itself)
// and the count is unavailable.

#include <atomic>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

namespace vantix_test {

inline std::atomic<long>& LiveAllocationCounter() {
  static std::atomic<long> counter(0);
  return counter;
}

#if defined(__SANITIZE_ADDRESS__)
inline bool LiveAllocationsCounted() { return false; }
#else
inline bool LiveAllocationsCounted() { return true; }
#endif

inline long LiveAllocations() { return LiveAllocationCounter().load(); }

// Whether as many blocks are live as `expected`; without the counter the
// sanitizer's own checks stand in for this one.
inline ::testing::AssertionResult LiveAllocationsAre(long expected) {
  if (!LiveAllocationsCounted()) return ::testing::AssertionSuccess();
  const long live = LiveAllocations();
  if (live == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << live << " blocks live, expected " << expected;
}

}  // namespace vantix_test

#if !defined(__SANITIZE_ADDRESS__)

namespace vantix_test {

inline void* CountedAllocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  ++LiveAllocationCounter();
  return p;
}

inline void CountedFree(void* p) {
  if (p == nullptr) return;
  --LiveAllocationCounter();
  std::free(p);
}

}  // namespace vantix_test

void* operator new(std::size_t size) { return vantix_test::CountedAllocate(size); }
void* operator new[](std::size_t size) { return vantix_test::CountedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr) ++vantix_test::LiveAllocationCounter();
  return p;
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { vantix_test::CountedFree(p); }
void operator delete[](void* p) noexcept { vantix_test::CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { vantix_test::CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { vantix_test::CountedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { vantix_test::CountedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { vantix_test::CountedFree(p); }

#endif
