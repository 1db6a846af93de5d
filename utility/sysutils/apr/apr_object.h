#pragma once

#include "utility/sysutils/apr/apr_pool.h"

namespace SysUtils {

// The most freed memory that the pools' shared allocator keeps, as every
// object's pool sets it.
constexpr apr_uint32_t kObjectPoolMaxFree = 1048576;

// Base of every runtime object that keeps its resources in a pool of its own.
class AprObject {
 public:
  AprObject();
  virtual ~AprObject();

  AprObject(const AprObject&) = delete;
  AprObject& operator=(const AprObject&) = delete;

 protected:
  AprPool& thePool();

 private:
  AprPool m_pool;
};

}  // namespace SysUtils
