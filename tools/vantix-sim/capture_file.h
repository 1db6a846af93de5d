#pragma once

// A capture holds what a server sent, chunk by chunk as it was received, each
// with the time since the connection was made. The file is bytes, not text:
//
//   the header line        vantix-capture 1\n
//   then for every chunk:  OFFSET LENGTH\n    microseconds since the connection
//                                             was made, the chunk's length in
//                                             bytes; both decimal
//                          LENGTH bytes       the chunk exactly as received
//                          \n
//
// The line feed after each chunk only keeps the file readable in a pager; the
// length alone says where the chunk ends.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern const char kCaptureHeader[];

struct CapturedChunk {
  unsigned long long offsetUs = 0;
  std::string bytes;
};

// Writes a capture file; every chunk goes to the file at once, so a capture
// that is killed keeps what it had.
class CaptureWriter {
 public:
  // Null, after a message on standard error, when the file cannot be made.
  static std::unique_ptr<CaptureWriter> Create(const std::string& path);
  ~CaptureWriter();
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;

  // False, after a message, when the file cannot take it.
  bool Append(unsigned long long offsetUs, const char* data, size_t length);
  // False, after a message, when what was written cannot be kept.
  bool Close();

 private:
  CaptureWriter(std::string path, FILE* file) : m_path(std::move(path)), m_file(file) {}
  bool Failed();

  const std::string m_path;
  FILE* m_file;
};

// The chunks of a file's content that starts with kCaptureHeader. On a
// malformed file returns false and says where in `error`.
bool ParseCapture(const std::string& content, std::vector<CapturedChunk>* chunks, std::string* error);
