#pragma once

#include <memory>
#include <string>
#include <vector>

// The records the simulator sends, without their line end: generated ones
// for the cameras in turn, or the lines of a file.
class RecordSource {
 public:
  static std::unique_ptr<RecordSource> Generated(std::vector<std::string> cameras);
  // Null, after a message on standard error, when the file cannot be read.
  static std::unique_ptr<RecordSource> FromFile(const std::string& path);

  // The next record; false when a file has no more lines (generated records
  // never run out).
  bool Next(std::string* record);

 private:
  RecordSource(std::vector<std::string> cameras, std::vector<std::string> lines, bool replay);
  std::string GeneratedRecord();

  const std::vector<std::string> m_cameras;
  const std::vector<std::string> m_lines;
  const bool m_replay;
  unsigned long long m_next = 0;
};
