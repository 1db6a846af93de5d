#include "utility/sysutils/apr/apr_object.h"

namespace SysUtils {

namespace {

const apr_uint32_t kObjectPoolMaxFree = 1048576;

}  // namespace

AprObject::AprObject() : m_pool(kObjectPoolMaxFree) {}

AprObject::~AprObject() {}

AprPool& AprObject::thePool() { return m_pool; }

}  // namespace SysUtils
