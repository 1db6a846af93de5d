#pragma once

// What a host sees: recorders for the model's event and metadata callbacks,
// with waits that always have a deadline.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantix_test {

struct RecordedEvent {
  unsigned long long ullDeviceID;
  unsigned int uiEventID;
};

class EventRecorder {
 public:
  // The callback to register, with the recorder as user data.
  static void Callback(unsigned long long ullDeviceID, unsigned int uiEventID, void* pData);

  std::vector<RecordedEvent> Events() const;
  std::vector<unsigned int> Codes() const;
  // True when at least `count` events arrived before the deadline.
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<RecordedEvent> m_events;
};

struct RecordedRecord {
  unsigned long long ullDeviceID;
  unsigned long long ullChannelID;
  std::string strText;
  int iLength;
};

class RecordRecorder {
 public:
  static void Callback(unsigned long long ullDeviceID, unsigned long long ullChannelID, const char* sMetadata,
                       int iMetadataLen, void* pData);

  std::vector<RecordedRecord> Records() const;
  size_t Count() const;
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<RecordedRecord> m_records;
};

// Polls `condition` until it holds or the timeout passes; returns its last value.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace vantix_test
