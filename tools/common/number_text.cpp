#include "tools/common/number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

bool ParseUnsignedText(const std::string& text, unsigned long long* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  *value = strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

bool ParsePositiveText(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = strtod(text.c_str(), &end);
  return *end == '\0' && std::isfinite(*value) && *value > 0;
}
