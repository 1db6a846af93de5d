#include "utility/sysutils/apr/apr_root.h"

#include <apr_allocator.h>
#include <apr_general.h>
#include <stdio.h>

#include <memory>

namespace SysUtils {

namespace {

// The root's own allocator setting; every object pool raises it later.
const apr_size_t kRootMaxFree = 32;

// At library unload or process exit the runtime is finished only when the
// host holds nothing that the library handed out. The threads of a live model
// wait on events in the root's pools, and destroying a condition variable that
// a thread waits on blocks for ever; the process is ending anyway, so the
// runtime is left to it.
struct FinishUnlessInUse {
  void operator()(AprRoot* root) const {
    if (!root->hasTrackedObjects()) delete root;
  }
};

}  // namespace

AprRoot* AprRoot::instance() {
  // A function-local static is initialised once even with concurrent first
  // callers, and let go at library unload or process exit.
  static std::unique_ptr<AprRoot, FinishUnlessInUse> s_instance(new AprRoot);
  return s_instance.get();
}

AprRoot::AprRoot() : m_rootPool(nullptr) {
  puts("APR Application Instance initiating ...");
  apr_initialize();
  apr_pool_create_ex(&m_rootPool, nullptr, nullptr, nullptr);
  apr_allocator_t* allocator = apr_pool_allocator_get(m_rootPool);
  if (allocator != nullptr) apr_allocator_max_free_set(allocator, kRootMaxFree);
  puts("APR Application Instance init done ...");
}

AprRoot::~AprRoot() {
  apr_pool_clear(m_rootPool);
  apr_terminate();
  puts("APR Application Instance fini done ...");
}

apr_pool_t* AprRoot::getRootPool() { return m_rootPool; }

void AprRoot::trackObject(const void* p) {
  CriticalSectionLock lock(&m_csTracked);
  m_trackedObjects.insert(p);
}

bool AprRoot::untrackObject(const void* p) {
  CriticalSectionLock lock(&m_csTracked);
  return m_trackedObjects.erase(p) > 0;
}

bool AprRoot::isTracked(const void* p) {
  CriticalSectionLock lock(&m_csTracked);
  return m_trackedObjects.count(p) > 0;
}

bool AprRoot::hasTrackedObjects() {
  CriticalSectionLock lock(&m_csTracked);
  return !m_trackedObjects.empty();
}

}  // namespace SysUtils
