// A block from the face-recognition server, of arbitrary bytes: its filter, camera identifier and rewrite.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "MetadataModelVantix/VantixReceiver.h"
#include "MetadataModelVantix/VantixRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // At most 1024 bytes a receive, terminated behind them: the record ends at the first NUL.
  std::vector<char> block(std::min<size_t>(size, 1024) + 1, '\0');
  std::copy(data, data + block.size() - 1, block.begin());
  const std::string record(block.data());
  // Dropped exactly when a line feed stands before the last byte, and left as it was.
  const bool redundant = !record.empty() && record.find('\n') < record.size() - 1;
  if (IsRedundantEvent(block.data()) != redundant || record != block.data()) abort();
  if (redundant) return 0;
  // The camera identifier is a piece of the record right behind the first marker.
  const std::string camera = CutCameraID(record);
  const size_t marker = record.find("CamID:");
  if (marker == std::string::npos ? !camera.empty() : record.compare(marker + 6, camera.size(), camera) != 0)
    abort();
  // Every word followed by CR LF, then one closing CR LF.
  std::istringstream words(record);
  std::string expected;
  for (std::string word; words >> word;) expected += word + "\r\n";
  if (RewriteRecord(record) != expected + "\r\n") abort();
  return 0;
}
