#include "tools/vantix-sim/record_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tools/vantix-sim/capture_file.h"

namespace {

const char kRecordEnd[] = "\r\n";

// The lines of a text file, one record each.
std::vector<Chunk> LineChunks(const std::string& content) {
  std::vector<Chunk> chunks;
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    // The sender adds CR LF itself; a file written with CR LF keeps no CR.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    chunks.push_back(Chunk{line + kRecordEnd, std::nullopt});
  }
  return chunks;
}

std::vector<Chunk> ScheduledChunks(const std::vector<CapturedChunk>& captured, double speed) {
  std::vector<Chunk> chunks;
  for (const CapturedChunk& chunk : captured) {
    const auto offset =
        std::chrono::duration<double, std::micro>(static_cast<double>(chunk.offsetUs) / speed);
    chunks.push_back(Chunk{chunk.bytes, std::chrono::duration_cast<std::chrono::nanoseconds>(offset)});
  }
  return chunks;
}

}  // namespace

RecordSource::RecordSource(std::vector<std::string> cameras, std::vector<Chunk> chunks, bool replay,
                           bool capture)
    : m_cameras(std::move(cameras)), m_chunks(std::move(chunks)), m_replay(replay), m_capture(capture) {}

std::unique_ptr<RecordSource> RecordSource::Generated(std::vector<std::string> cameras) {
  return std::unique_ptr<RecordSource>(new RecordSource(std::move(cameras), {}, false, false));
}

std::unique_ptr<RecordSource> RecordSource::FromFile(const std::string& path, double speed) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    fprintf(stderr, "vantix-sim: cannot read %s: %s\n", path.c_str(), strerror(errno));
    return nullptr;
  }
  const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (content.compare(0, strlen(kCaptureHeader), kCaptureHeader) != 0) {
    return std::unique_ptr<RecordSource>(new RecordSource({}, LineChunks(content), true, false));
  }
  std::vector<CapturedChunk> captured;
  std::string error;
  if (!ParseCapture(content, &captured, &error)) {
    fprintf(stderr, "vantix-sim: %s is a broken capture: %s\n", path.c_str(), error.c_str());
    return nullptr;
  }
  return std::unique_ptr<RecordSource>(new RecordSource({}, ScheduledChunks(captured, speed), true, true));
}

bool RecordSource::Next(Chunk* chunk) {
  if (m_replay) {
    if (m_next >= m_chunks.size()) return false;
    *chunk = m_chunks[m_next++];
    return true;
  }
  *chunk = Chunk{GeneratedRecord() + kRecordEnd, std::nullopt};
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
  snprintf(record, sizeof(record), "CamID:%s Event:FaceMatched Person:%s Score:0.%02u Time:%s",
           camera.c_str(), person, score, time);
  return record;
}
