#include "utility/sysutils/apr/apr_pool.h"

#include <apr_allocator.h>

#include "utility/sysutils/apr/apr_root.h"

namespace SysUtils {

AprPool::AprPool(apr_uint32_t maxfree) : m_pool(AprRoot::instance()->openChildPool()), m_maxfree(maxfree) {
  setCacheSize(m_maxfree);
}

AprPool::~AprPool() { AprRoot::instance()->closeChildPool(m_pool); }

void* AprPool::alloc(apr_size_t in_size) { return apr_palloc(m_pool, in_size); }

void AprPool::clear() { apr_pool_clear(m_pool); }

apr_pool_t* AprPool::guts() { return m_pool; }

void AprPool::setCacheSize(apr_size_t size) {
  apr_allocator_t* allocator = apr_pool_allocator_get(m_pool);
  if (allocator != nullptr) apr_allocator_max_free_set(allocator, size);
}

}  // namespace SysUtils
