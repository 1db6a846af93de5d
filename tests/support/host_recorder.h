#pragma once

// Recorders of the host callbacks, filled on the model's threads.

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
  static void Callback(unsigned long long ullDeviceID, unsigned int uiEventID, void* pData) {
    static_cast<EventRecorder*>(pData)->Add({ullDeviceID, uiEventID});
  }
  std::vector<RecordedEvent> Events() const { return Items(); }
  std::vector<unsigned int> Codes() const {
    std::vector<unsigned int> codes;
    for (const RecordedEvent& event : Items()) codes.push_back(event.uiEventID);
    return codes;
  }
};

struct RecordedRecord {
  unsigned long long ullDeviceID, ullChannelID;
  std::string strText;
  int iLength;
};

class RecordRecorder : public Recorder<RecordedRecord> {
 public:
  static void Callback(unsigned long long ullDeviceID, unsigned long long ullChannelID, const char* sMetadata,
                       int iMetadataLen, void* pData) {
    static_cast<RecordRecorder*>(pData)->Add({ullDeviceID, ullChannelID, sMetadata, iMetadataLen});
  }
};

}  // namespace vantix_test
