#pragma once

// What a host sees: recorders for the model's event and metadata callbacks,
// filled on the model's threads and read or awaited on the test's.

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "support/wait_until.h"

namespace vantix_test {

template <typename Item>
class Recorder {
 public:
  void Add(Item item) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_items.push_back(std::move(item));
  }
  std::vector<Item> Items() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_items;
  }
  size_t Count() const { return Items().size(); }
  // True when at least `count` items arrived before the deadline.
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Count() >= count; }, timeout);
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<Item> m_items;
};

struct RecordedEvent {
  unsigned long long ullDeviceID;
  unsigned int uiEventID;
};

class EventRecorder : public Recorder<RecordedEvent> {
 public:
  // The callback to register, with the recorder as user data.
  static void Callback(unsigned long long ullDeviceID, unsigned int uiEventID, void* pData) {
    static_cast<EventRecorder*>(pData)->Add(RecordedEvent{ullDeviceID, uiEventID});
  }
  std::vector<RecordedEvent> Events() const { return Items(); }
  std::vector<unsigned int> Codes() const {
    std::vector<unsigned int> codes;
    for (const RecordedEvent& event : Items()) codes.push_back(event.uiEventID);
    return codes;
  }
};

struct RecordedRecord {
  unsigned long long ullDeviceID;
  unsigned long long ullChannelID;
  std::string strText;
  int iLength;
};

class RecordRecorder : public Recorder<RecordedRecord> {
 public:
  static void Callback(unsigned long long ullDeviceID, unsigned long long ullChannelID, const char* sMetadata,
                       int iMetadataLen, void* pData) {
    static_cast<RecordRecorder*>(pData)->Add(RecordedRecord{ullDeviceID, ullChannelID, sMetadata, iMetadataLen});
  }
  std::vector<RecordedRecord> Records() const { return Items(); }
};

}  // namespace vantix_test
