#include "support/host_recorder.h"

namespace vantix_test {

void EventRecorder::Callback(unsigned long long ullDeviceID, unsigned int uiEventID, void* pData) {
  EventRecorder* pRecorder = static_cast<EventRecorder*>(pData);
  std::lock_guard<std::mutex> lock(pRecorder->m_mutex);
  pRecorder->m_events.push_back(RecordedEvent{ullDeviceID, uiEventID});
  pRecorder->m_changed.notify_all();
}

std::vector<RecordedEvent> EventRecorder::Events() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_events;
}

std::vector<unsigned int> EventRecorder::Codes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<unsigned int> codes;
  for (const RecordedEvent& event : m_events) codes.push_back(event.uiEventID);
  return codes;
}

bool EventRecorder::WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
}

void RecordRecorder::Callback(unsigned long long ullDeviceID, unsigned long long ullChannelID,
                              const char* sMetadata, int iMetadataLen, void* pData) {
  RecordRecorder* pRecorder = static_cast<RecordRecorder*>(pData);
  std::lock_guard<std::mutex> lock(pRecorder->m_mutex);
  pRecorder->m_records.push_back(
      RecordedRecord{ullDeviceID, ullChannelID, std::string(sMetadata != nullptr ? sMetadata : ""),
                     iMetadataLen});
  pRecorder->m_changed.notify_all();
}

std::vector<RecordedRecord> RecordRecorder::Records() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_records;
}

size_t RecordRecorder::Count() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_records.size();
}

bool RecordRecorder::WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_records.size() >= count; });
}

}  // namespace vantix_test
