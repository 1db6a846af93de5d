#include "MetadataModelVantix/VantixRecord.h"

#include <apr_errno.h>

#include "utility/sysutils/common/ascii.h"

namespace {

const char kCameraMarker[] = "CamID:";
const size_t kCameraMarkerLength = sizeof(kCameraMarker) - 1;
const char kEventMarker[] = "Event";
const char kLineEnd[] = "\r\n";

// A refused connection and an unreachable host where the runtime reports
// socket errors above its system-error base (720000 + 10061, + 10065). On
// Linux it reports the system's own numbers, which are recognised as well.
const int kRefusedStatus = 730061;
const int kUnreachableStatus = 730065;

}  // namespace

std::string CutCameraID(const std::string& strRecord) {
  const size_t c = strRecord.find(kCameraMarker);
  if (c == std::string::npos) return std::string();
  const size_t start = c + kCameraMarkerLength;
  const size_t e = strRecord.find(kEventMarker);
  // One separating character stands between the identifier and "Event".
  if (e == std::string::npos || e < start + 1) return strRecord.substr(start);
  return strRecord.substr(start, e - start - 1);
}

std::string RewriteRecord(const std::string& strRecord) {
  std::string strText;
  strText.reserve(strRecord.size() + 16);
  const char* pNext = strRecord.data();
  const char* const pEnd = pNext + strRecord.size();
  for (;;) {
    while (pNext != pEnd && SysUtils::IsSpace(*pNext)) ++pNext;
    if (pNext == pEnd) break;
    const char* const pWord = pNext;
    while (pNext != pEnd && !SysUtils::IsSpace(*pNext)) ++pNext;
    strText.append(pWord, static_cast<size_t>(pNext - pWord));
    strText.append(kLineEnd);
  }
  strText.append(kLineEnd);
  return strText;
}

std::string ConnectionErrorText(int iErrorCode) {
  const apr_status_t status = static_cast<apr_status_t>(iErrorCode);
  if (iErrorCode == kRefusedStatus || iErrorCode == kUnreachableStatus ||
      APR_STATUS_IS_ECONNREFUSED(status) || APR_STATUS_IS_EHOSTUNREACH(status)) {
    return "Failed to connect to target Vantix server.";
  }
  return "Unknow error (error code: " + std::to_string(iErrorCode) + ")";
}
