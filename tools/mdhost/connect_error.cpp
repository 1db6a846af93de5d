#include "tools/mdhost/connect_error.h"

#include <apr_errno.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "tools/mdhost/text_format.h"

namespace {

// Where a plug-in's error text carries the runtime's status, as in
// "... (error code: 70007)".
const char kErrorCodeMarker[] = "error code: ";

// The status after the marker, when the text has one that fits the runtime's
// status type.
std::optional<apr_status_t> StatusIn(const std::string& errorText) {
  const size_t at = errorText.find(kErrorCodeMarker);
  if (at == std::string::npos) return std::nullopt;
  const char* digits = errorText.c_str() + at + sizeof(kErrorCodeMarker) - 1;
  char* end = nullptr;
  errno = 0;
  const long status = strtol(digits, &end, 10);
  if (end == digits || errno != 0 || status < INT_MIN || status > INT_MAX) return std::nullopt;
  return static_cast<apr_status_t>(status);
}

}  // namespace

std::string ServerText(const std::vector<ConfigValue>& sourceConfig) {
  if (sourceConfig.empty()) return "as the plug-in has it";
  std::string text;
  for (const ConfigValue& value : sourceConfig)
    text += (text.empty() ? "" : ", ") + value.id + "=" + value.value;
  return VisibleText(text);
}

std::string ExplainConnectError(const std::string& errorText) {
  if (errorText.empty()) return "the plug-in gives no error text";
  const std::string quoted = "the plug-in's error \"" + VisibleText(errorText) + "\"";
  const std::optional<apr_status_t> status = StatusIn(errorText);
  if (!status) return quoted;
  // The runtime the plug-in runs on is the one mdhost provides it, so its
  // own words are what the status means there.
  char meaning[256];
  apr_strerror(*status, meaning, sizeof(meaning));
  return quoted + " is the runtime's status " + std::to_string(*status) + ": " + VisibleText(meaning);
}
