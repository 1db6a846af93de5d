#pragma once

#include <cstdio>
#include <string>

namespace vantix_test {

// Captures what the process writes to one of its standard streams (by file
// descriptor, so printf, puts and perror are all caught) until Stop().
class StreamCapture {
 public:
  explicit StreamCapture(FILE* stream);
  ~StreamCapture() { Stop(); }
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;

  // Restores the stream and returns everything written since construction.
  std::string Stop();

 private:
  FILE* m_stream;
  int m_savedFd;
  FILE* m_file;
};

// Number of non-overlapping occurrences of needle in text.
size_t CountOccurrences(const std::string& text, const std::string& needle);

}  // namespace vantix_test
