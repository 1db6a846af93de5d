#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One write of the simulator: the bytes and, for a replayed capture, when
// they are due after the connection was accepted (otherwise --rate paces).
struct Chunk {
  std::string bytes;
  std::optional<std::chrono::nanoseconds> offset;
};

// What the simulator sends: generated records for the cameras in turn, the
// lines of a text file, or the chunks of a capture file, each record ending
// in CR LF and each chunk as it was captured.
class RecordSource {
 public:
  static std::unique_ptr<RecordSource> Generated(std::vector<std::string> cameras);
  // A capture file (by its header) or a text file. Null, after a message on
  // standard error, when the file cannot be read or is a broken capture.
  // `speed` divides a capture's offsets.
  static std::unique_ptr<RecordSource> FromFile(const std::string& path, double speed);

  bool IsCapture() const { return m_capture; }

  // The next write; false when a file has no more (generated records never
  // run out).
  bool Next(Chunk* chunk);

 private:
  RecordSource(std::vector<std::string> cameras, std::vector<Chunk> chunks, bool replay, bool capture);
  std::string GeneratedRecord();

  const std::vector<std::string> m_cameras;
  const std::vector<Chunk> m_chunks;
  const bool m_replay;
  const bool m_capture;
  unsigned long long m_next = 0;
};
