#include "tools/vantix-sim/record_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>

RecordSource::RecordSource(std::vector<std::string> cameras, std::vector<std::string> lines, bool replay)
    : m_cameras(std::move(cameras)), m_lines(std::move(lines)), m_replay(replay) {}

std::unique_ptr<RecordSource> RecordSource::Generated(std::vector<std::string> cameras) {
  return std::unique_ptr<RecordSource>(new RecordSource(std::move(cameras), {}, false));
}

std::unique_ptr<RecordSource> RecordSource::FromFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    fprintf(stderr, "vantix-sim: cannot read %s: %s\n", path.c_str(), strerror(errno));
    return nullptr;
  }
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) {
    // The sender adds CR LF itself; a file written with CR LF keeps no CR.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return std::unique_ptr<RecordSource>(new RecordSource({}, std::move(lines), true));
}

bool RecordSource::Next(std::string* record) {
  if (m_replay) {
    if (m_next >= m_lines.size()) return false;
    *record = m_lines[m_next++];
    return true;
  }
  *record = GeneratedRecord();
  ++m_next;
  return true;
}

std::string RecordSource::GeneratedRecord() {
  static const char* const kPeople[] = {"Ann", "Ben", "Chloe", "Dev", "Eva"};
  const std::string& camera = m_cameras[m_next % m_cameras.size()];
  const char* person = kPeople[m_next % (sizeof(kPeople) / sizeof(kPeople[0]))];
  const unsigned int score = 80 + static_cast<unsigned int>((m_next * 7) % 20);
  char time[32];
  const time_t now = ::time(nullptr);
  tm utc;
  gmtime_r(&now, &utc);
  strftime(time, sizeof(time), "%Y-%m-%dT%H:%M:%SZ", &utc);
  // One character separates the camera number from "Event".
  char record[160];
  snprintf(record, sizeof(record), "CamID:%s Event:FaceMatched Person:%s Score:0.%02u Time:%s", camera.c_str(), person,
           score, time);
  return record;
}
