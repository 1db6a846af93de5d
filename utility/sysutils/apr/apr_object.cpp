#include "utility/sysutils/apr/apr_object.h"

namespace SysUtils {

AprObject::AprObject() : m_pool(kObjectPoolMaxFree) {}

AprObject::~AprObject() {}

AprPool& AprObject::thePool() { return m_pool; }

}  // namespace SysUtils
