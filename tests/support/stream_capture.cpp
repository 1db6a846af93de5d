#include "support/stream_capture.h"

#include <unistd.h>

namespace vantix_test {

StreamCapture::StreamCapture(FILE* stream) : m_stream(stream), m_savedFd(-1), m_file(tmpfile()) {
  fflush(m_stream);
  if (m_file == nullptr) return;
  m_savedFd = dup(fileno(m_stream));
  dup2(fileno(m_file), fileno(m_stream));
}

std::string StreamCapture::Stop() {
  std::string text;
  if (m_file == nullptr) return text;
  fflush(m_stream);
  dup2(m_savedFd, fileno(m_stream));
  close(m_savedFd);
  rewind(m_file);
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof(buffer), m_file)) > 0;) text.append(buffer, n);
  fclose(m_file);
  m_file = nullptr;
  return text;
}

size_t CountOccurrences(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); !needle.empty() && at != std::string::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

}  // namespace vantix_test
