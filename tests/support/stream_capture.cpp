#include "support/stream_capture.h"

#include <unistd.h>

namespace vantix_test {

StreamCapture::StreamCapture(FILE* stream)
    : m_stream(stream), m_fd(fileno(stream)), m_savedFd(-1), m_file(tmpfile()), m_stopped(false) {
  fflush(m_stream);
  m_savedFd = dup(m_fd);
  if (m_file != nullptr) dup2(fileno(m_file), m_fd);
}

StreamCapture::~StreamCapture() { Stop(); }

std::string StreamCapture::Stop() {
  if (m_stopped) return std::string();
  m_stopped = true;
  fflush(m_stream);
  if (m_savedFd >= 0) {
    dup2(m_savedFd, m_fd);
    close(m_savedFd);
  }
  std::string text;
  if (m_file != nullptr) {
    rewind(m_file);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), m_file)) > 0) text.append(buffer, n);
    fclose(m_file);
  }
  return text;
}

size_t CountOccurrences(const std::string& text, const std::string& needle) {
  if (needle.empty()) return 0;
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + needle.size())) {
    ++count;
  }
  return count;
}

}  // namespace vantix_test
