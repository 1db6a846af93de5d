#include "tools/mdhost/run_monitor.h"

#include <string>

#include "tools/mdhost/text_format.h"

namespace {

const unsigned int kEventConnectionLost = 3600;
const unsigned int kEventConnected = 3601;

std::string EventMeaning(unsigned int eventId) {
  switch (eventId) {
    case kEventConnected: return "3601 connected";
    case kEventConnectionLost: return "3600 connection lost";
    default: return "event " + std::to_string(eventId);
  }
}

std::string RecordText(const char* text, int length) {
  if (text == nullptr) return "(no text)";
  if (length < 0) return "(invalid length " + std::to_string(length) + ")";
  return VisibleText(text, static_cast<size_t>(length));
}

}  // namespace

RunMonitor::RunMonitor(FILE* out, bool quiet, unsigned long long deviceId)
    : m_out(out), m_quiet(quiet), m_deviceId(deviceId) {}

void RunMonitor::OnMetadata(unsigned long long deviceId, unsigned long long channelId, const char* text,
                            int length, void* monitor) {
  if (monitor != nullptr) static_cast<RunMonitor*>(monitor)->Record(deviceId, channelId, text, length);
}

void RunMonitor::OnEvent(unsigned long long deviceId, unsigned int eventId, void* monitor) {
  if (monitor != nullptr) static_cast<RunMonitor*>(monitor)->Event(deviceId, eventId);
}

void RunMonitor::Note(const char* text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  PrintLine(text);
}

RunMonitor::Totals RunMonitor::Snapshot() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_totals;
}

void RunMonitor::Record(unsigned long long deviceId, unsigned long long channelId, const char* text,
                        int length) {
  // The text is valid only during the call: it is shown before returning.
  const std::string line =
      "record channel " + std::to_string(channelId) + DeviceNote(deviceId) + ": " + RecordText(text, length);
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_totals.records;
  ++m_totals.recordsPerChannel[channelId];
  PrintLine(line);
}

void RunMonitor::Event(unsigned long long deviceId, unsigned int eventId) {
  const std::string line = EventMeaning(eventId) + DeviceNote(deviceId);
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_totals.events;
  if (eventId == kEventConnected) ++m_totals.connects;
  if (eventId == kEventConnectionLost) ++m_totals.losses;
  PrintLine(line);
}

std::string RunMonitor::DeviceNote(unsigned long long deviceId) const {
  if (deviceId == m_deviceId) return "";
  return " (for device " + std::to_string(deviceId) + ", not " + std::to_string(m_deviceId) + ")";
}

void RunMonitor::PrintLine(const std::string& line) {
  if (m_quiet) return;
  fprintf(m_out, "%s %s\n", TimeStampNow().c_str(), line.c_str());
  fflush(m_out);
}
