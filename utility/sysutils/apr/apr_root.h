#pragma once

#include <apr_pools.h>

#include <set>

#include "utility/sysutils/common/critical_section.h"

namespace SysUtils {

// The process-wide owner of the portable runtime: initialises it on first
// use, owns the root pool and terminates the runtime when the library is
// unloaded or the process exits. Being the only global, it also keeps the
// set of live objects that the library has handed out to the host, so that
// a pointer can be checked before it is trusted, and so that the runtime is
// left alone at the end while any of them is still alive.
class AprRoot {
 public:
  // Created on the first call; safe against concurrent first callers.
  static AprRoot* instance();

  virtual ~AprRoot();

  AprRoot(const AprRoot&) = delete;
  AprRoot& operator=(const AprRoot&) = delete;

  apr_pool_t* getRootPool();

  void trackObject(const void* p);
  // True only when p was tracked; it is no longer tracked afterwards.
  bool untrackObject(const void* p);
  bool isTracked(const void* p);
  bool hasTrackedObjects();

 private:
  AprRoot();

  apr_pool_t* m_rootPool;
  CriticalSection m_csTracked;
  std::set<const void*> m_trackedObjects;
};

}  // namespace SysUtils
