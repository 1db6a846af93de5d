// Arbitrary bytes as one block read from the face-recognition server: the
// block filter, then what distribution reads from and makes of the record.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "MetadataModelVantix/VantixReceiver.h"
#include "MetadataModelVantix/VantixRecord.h"

namespace {

// One receive takes at most this many bytes.
const size_t kBlockSize = 1024;
const char kWhiteSpace[] = " \t\n\v\f\r";

void Require(bool condition) {
  if (!condition) abort();
}

bool IsWhiteSpace(char c) { return c != '\0' && strchr(kWhiteSpace, c) != nullptr; }

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (!IsWhiteSpace(c)) {
      word.push_back(c);
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The filter drops exactly the blocks whose text has a line feed before its
// last byte, and leaves the block as it was.
bool CheckFilter(char* block) {
  const std::string before(block);
  const size_t lineFeed = before.find('\n');
  const bool expected = lineFeed != std::string::npos && lineFeed + 1 < before.size();
  const bool redundant = IsRedundantEvent(block);
  Require(redundant == expected);
  Require(before == block);
  return redundant;
}

void CheckCameraID(const std::string& record) {
  const std::string camera = CutCameraID(record);
  const size_t marker = record.find("CamID:");
  if (marker == std::string::npos) {
    Require(camera.empty());
    return;
  }
  // Always a piece of the record that starts right behind the marker.
  Require(record.compare(marker + 6, camera.size(), camera) == 0);
}

// Every word followed by CR LF, one closing CR LF, and nothing else.
void CheckRewrite(const std::string& record) {
  const std::string text = RewriteRecord(record);
  Require(EndsWith(text, "\r\n"));
  Require(text.find_first_of(" \t\v\f") == std::string::npos);
  const std::vector<std::string> words = Words(record);
  Require(Words(text) == words);
  size_t expectedSize = 2;
  for (const std::string& word : words) expectedSize += word.size() + 2;
  Require(text.size() == expectedSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The receiver terminates the block after its length; the record is the
  // text up to the first NUL.
  const size_t length = size < kBlockSize ? size : kBlockSize;
  std::vector<char> block(data, data + length);
  block.push_back('\0');
  if (CheckFilter(block.data())) return 0;
  const std::string record(block.data());
  CheckCameraID(record);
  CheckRewrite(record);
  return 0;
}
