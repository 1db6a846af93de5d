#pragma once

#include "utility/sysutils/apr/apr_pool.h"

namespace SysUtils {

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
