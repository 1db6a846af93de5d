#include "tools/mdhost/connect_error.h"

#include <netdb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/mdhost/text_format.h"

namespace {

// Statuses of the portable runtime on this platform: operating-system
// errors are their errno; name resolution failures are the resolver's
// (negative) code negated, above this base.
const long long kStatusTimedOut = 70007;
const long long kResolverErrorBase = 670000;
const long long kResolverErrorEnd = 680000;
const long long kSystemErrorEnd = 20000;
const char kErrorCodeMarker[] = "error code: ";

std::string MeaningOf(long long status) {
  if (status == kStatusTimedOut) {
    return "the connection timed out: nothing answered at that address within the plug-in's connect time-out";
  }
  if (status > kResolverErrorBase && status < kResolverErrorEnd) {
    return std::string("the host name could not be resolved (") +
           gai_strerror(static_cast<int>(kResolverErrorBase - status)) + ")";
  }
  if (status == ECONNREFUSED) return "the connection was refused: nothing listens on that port";
  if (status > 0 && status < kSystemErrorEnd)
    return std::string("the system's error: ") + strerror(static_cast<int>(status));
  return "a status of the portable runtime that mdhost does not know";
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
  // The plug-in's text for a refused connection or an unreachable host on
  // platforms whose runtime reports them under their own numbers.
  if (errorText == "Failed to connect to target Vantix server.") {
    return quoted + " means the connection was refused or the host is unreachable";
  }
  const size_t at = errorText.find(kErrorCodeMarker);
  if (at == std::string::npos) return quoted;
  return quoted + " means " + MeaningOf(atoll(errorText.c_str() + at + strlen(kErrorCodeMarker)));
}
