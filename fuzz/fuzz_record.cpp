// One block read from the face-recognition server, from arbitrary bytes: the
// block filter, then the camera identifier and the rewrite of the record.

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "MetadataModelVantix/VantixReceiver.h"
#include "MetadataModelVantix/VantixRecord.h"

namespace {

void Require(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // At most 1024 bytes a receive, terminated behind them: the record ends at the first NUL.
  std::vector<char> block(data, data + (size < 1024 ? size : 1024));
  block.push_back('\0');
  const std::string record(block.data());
  // Dropped exactly when a line feed stands before the last byte, and left as it was.
  const size_t lineFeed = record.find('\n');
  const bool redundant = lineFeed != std::string::npos && lineFeed + 1 < record.size();
  Require(IsRedundantEvent(block.data()) == redundant && record == block.data());
  if (redundant) return 0;
  // The camera identifier is a piece of the record right behind the first marker.
  const std::string camera = CutCameraID(record);
  const size_t marker = record.find("CamID:");
  Require(marker == std::string::npos ? camera.empty()
                                      : record.compare(marker + 6, camera.size(), camera) == 0);
  // Every word followed by CR LF, then one closing CR LF.
  std::istringstream words(record);
  std::string expected;
  for (std::string word; words >> word;) expected += word + "\r\n";
  Require(RewriteRecord(record) == expected + "\r\n");
  return 0;
}
