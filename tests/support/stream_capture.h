#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace vantix_test {

// Captures what the process writes to a standard stream, by descriptor (so printf, puts and perror
// alike), until Stop() restores it and returns the text.
class StreamCapture {
 public:
  explicit StreamCapture(FILE* stream) : m_stream(stream), m_file(tmpfile()) {
    fflush(m_stream);
    m_savedFd = dup(fileno(m_stream));
    if (m_file != nullptr) dup2(fileno(m_file), fileno(m_stream));
  }
  ~StreamCapture() { Stop(); }
  StreamCapture(const StreamCapture&) = delete;
  StreamCapture& operator=(const StreamCapture&) = delete;

  std::string Stop() {
    std::string text;
    if (m_file == nullptr) return text;
    fflush(m_stream);
    dup2(m_savedFd, fileno(m_stream));
    close(m_savedFd);
    rewind(m_file);
    for (int c; (c = fgetc(m_file)) != EOF;) text += static_cast<char>(c);
    fclose(m_file);
    m_file = nullptr;
    return text;
  }

 private:
  FILE* m_stream;
  FILE* m_file;
  int m_savedFd;
};

inline size_t CountOccurrences(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); !needle.empty() && at != std::string::npos; ++count) {
    at = text.find(needle, at + needle.size());
  }
  return count;
}

}  // namespace vantix_test
