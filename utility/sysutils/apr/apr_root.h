#pragma once

#include <apr_pools.h>

#include <cstddef>
#include <set>

#include "utility/sysutils/common/critical_section.h"
#include "utility/sysutils/common/thread_annotations.h"

namespace SysUtils {

// The process-wide owner of the portable runtime: initialises it on first
// use, owns the root pool of which every pool of the library is a child, and
// finishes with the runtime when the library is unloaded or the process exits.
//
// The root pool is unmanaged: the runtime's own termination never reaches it,
// so a host that terminates the runtime does not destroy what the library's
// live objects use. At the end the root always terminates the runtime once,
// pairing its initialisation, so that the host's own termination still brings
// the runtime's count to zero; it destroys its pool only when no pool of the
// library is alive. The root itself is never destroyed: a model that outlives
// the library's exit handler, and whatever a host's later exit handlers do
// with it, still finds it.
//
// Being the only global, it also keeps the set of live objects that the
// library has handed out to the host, so that a pointer can be checked
// before it is trusted.
class AprRoot {
 public:
  // Created on the first call; safe against concurrent first callers.
  static AprRoot* instance();

  AprRoot(const AprRoot&) = delete;
  AprRoot& operator=(const AprRoot&) = delete;

  // A new child of the root pool, live until given back; the root keeps its
  // pool while any is live.
  apr_pool_t* openChildPool() EXCLUDES(m_cs);
  void closeChildPool(apr_pool_t* pool) EXCLUDES(m_cs);

  void trackObject(const void* p) EXCLUDES(m_cs);
  // True only when p was tracked; it is no longer tracked afterwards.
  bool untrackObject(const void* p) EXCLUDES(m_cs);

 private:
  class Finisher;

  AprRoot();
  // At library unload or process exit.
  void finish() EXCLUDES(m_cs);
  // Initialises the runtime and makes the root pool, when there is none.
  void openLocked() REQUIRES(m_cs);

  CriticalSection m_cs;
  apr_pool_t* m_rootPool GUARDED_BY(m_cs);
  // The root pool's own allocator, which lives inside memory that it maps
  // itself: held here as well, so that a root left to the process's end is
  // still reachable from the library's data.
  apr_allocator_t* m_rootAllocator GUARDED_BY(m_cs);
  size_t m_liveChildPools GUARDED_BY(m_cs);
  std::set<const void*> m_trackedObjects GUARDED_BY(m_cs);
};

}  // namespace SysUtils
