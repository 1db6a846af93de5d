#pragma once

#include <apr_pools.h>

namespace SysUtils {

// Owns one pool, a child of the root pool that draws from the root pool's
// allocator.
class AprPool {
 public:
  explicit AprPool(apr_uint32_t maxfree);
  virtual ~AprPool();

  AprPool(const AprPool&) = delete;
  AprPool& operator=(const AprPool&) = delete;

  // Freed only by clear() or destruction.
  void* alloc(apr_size_t in_size);
  // Frees everything allocated in the pool and runs its clean-ups.
  void clear();
  apr_pool_t* guts();
  // Sets the max-free size of the pool's allocator, when it has one.
  void setCacheSize(apr_size_t size);

 private:
  apr_pool_t* m_pool;
  apr_uint32_t m_maxfree;
};

}  // namespace SysUtils
