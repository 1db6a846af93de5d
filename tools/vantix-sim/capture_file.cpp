#include "tools/vantix-sim/capture_file.h"

#include <cerrno>
#include <cstring>

const char kCaptureHeader[] = "vantix-capture 1\n";

std::unique_ptr<CaptureWriter> CaptureWriter::Create(const std::string& path) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr || fputs(kCaptureHeader, file) < 0 || fflush(file) != 0) {
    fprintf(stderr, "vantix-sim: cannot write %s: %s\n", path.c_str(), strerror(errno));
    if (file != nullptr) fclose(file);
    return nullptr;
  }
  return std::unique_ptr<CaptureWriter>(new CaptureWriter(path, file));
}

CaptureWriter::~CaptureWriter() {
  if (m_file != nullptr) fclose(m_file);
}

bool CaptureWriter::Append(unsigned long long offsetUs, const char* data, size_t length) {
  if (fprintf(m_file, "%llu %zu\n", offsetUs, length) < 0 || fwrite(data, 1, length, m_file) != length ||
      fputc('\n', m_file) == EOF || fflush(m_file) != 0) {
    return Failed();
  }
  return true;
}

bool CaptureWriter::Close() {
  FILE* file = m_file;
  m_file = nullptr;
  return fclose(file) == 0 || Failed();
}

bool CaptureWriter::Failed() {
  fprintf(stderr, "vantix-sim: writing %s failed: %s\n", m_path.c_str(), strerror(errno));
  return false;
}

bool ParseCapture(const std::string& content, std::vector<CapturedChunk>* chunks, std::string* error) {
  size_t at = strlen(kCaptureHeader);
  while (at < content.size()) {
    const std::string where =
        "chunk " + std::to_string(chunks->size() + 1) + " (byte " + std::to_string(at) + ")";
    const size_t lineEnd = content.find('\n', at);
    CapturedChunk chunk;
    size_t length = 0;
    int used = 0;
    if (lineEnd == std::string::npos || content.find_first_not_of("0123456789 ", at) != lineEnd ||
        sscanf(content.c_str() + at, "%llu %zu%n", &chunk.offsetUs, &length, &used) != 2 ||
        at + static_cast<size_t>(used) != lineEnd) {
      *error = where + ": no \"OFFSET LENGTH\" line";
      return false;
    }
    if (content.size() - (lineEnd + 1) < length + 1 || content[lineEnd + 1 + length] != '\n') {
      *error = where + ": the file ends before its " + std::to_string(length) + " bytes and line feed";
      return false;
    }
    if (!chunks->empty() && chunk.offsetUs < chunks->back().offsetUs) {
      *error = where + ": its offset is earlier than the chunk before";
      return false;
    }
    chunk.bytes = content.substr(lineEnd + 1, length);
    chunks->push_back(chunk);
    at = lineEnd + 1 + length + 1;
  }
  return true;
}
