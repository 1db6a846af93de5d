#include "utility/sysutils/apr/apr_root.h"

#include <apr_allocator.h>
#include <apr_general.h>
#include <apr_thread_mutex.h>
#include <stdio.h>

#include <new>

namespace SysUtils {

namespace {

// The root's own allocator setting; every object pool raises it later.
const apr_size_t kRootMaxFree = 32;

}  // namespace

// Finishes the root when the library is unloaded or the process exits.
class AprRoot::Finisher {
 public:
  explicit Finisher(AprRoot* root) : m_root(root) {}
  ~Finisher() { m_root->finish(); }

 private:
  AprRoot* const m_root;
};

AprRoot* AprRoot::instance() {
  // Function-local statics are made once even with concurrent first callers.
  // The root lives in storage of its own and is never destroyed; only the
  // finisher has a destructor, run at library unload or process exit.
  alignas(AprRoot) static unsigned char s_storage[sizeof(AprRoot)];
  static AprRoot* const s_root = new (s_storage) AprRoot;
  static const Finisher s_finisher(s_root);
  return s_root;
}

AprRoot::AprRoot() : m_rootPool(nullptr), m_rootAllocator(nullptr), m_liveChildPools(0) {
  CriticalSectionLock lock(&m_cs);
  openLocked();
}

void AprRoot::openLocked() {
  if (m_rootPool != nullptr) return;
  puts("APR Application Instance initiating ...");
  apr_initialize();
  apr_pool_create_unmanaged_ex(&m_rootPool, nullptr, nullptr);
  m_rootAllocator = apr_pool_allocator_get(m_rootPool);
  if (m_rootAllocator != nullptr) {
    apr_allocator_max_free_set(m_rootAllocator, kRootMaxFree);
    // Pools of every thread draw from this allocator.
    if (apr_allocator_mutex_get(m_rootAllocator) == nullptr) {
      apr_thread_mutex_t* mutex = nullptr;
      if (apr_thread_mutex_create(&mutex, APR_THREAD_MUTEX_DEFAULT, m_rootPool) == APR_SUCCESS) {
        apr_allocator_mutex_set(m_rootAllocator, mutex);
      }
    }
  }
  puts("APR Application Instance init done ...");
}

void AprRoot::finish() {
  CriticalSectionLock lock(&m_cs);
  if (m_rootPool == nullptr) return;
  if (m_liveChildPools == 0) {
    apr_pool_destroy(m_rootPool);
    m_rootPool = nullptr;
    m_rootAllocator = nullptr;
  }
  apr_terminate();
  puts("APR Application Instance fini done ...");
}

apr_pool_t* AprRoot::openChildPool() {
  CriticalSectionLock lock(&m_cs);
  openLocked();
  apr_pool_t* pool = nullptr;
  apr_pool_create_ex(&pool, m_rootPool, nullptr, nullptr);
  ++m_liveChildPools;
  return pool;
}

void AprRoot::closeChildPool(apr_pool_t* pool) {
  apr_pool_destroy(pool);
  CriticalSectionLock lock(&m_cs);
  --m_liveChildPools;
}

void AprRoot::trackObject(const void* p) {
  CriticalSectionLock lock(&m_cs);
  m_trackedObjects.insert(p);
}

bool AprRoot::untrackObject(const void* p) {
  CriticalSectionLock lock(&m_cs);
  return m_trackedObjects.erase(p) > 0;
}

}  // namespace SysUtils
