#pragma once

#include <vector>

#include "MetadataModelBase/PluginModelDef.h"

namespace SysUtils {
class AprCond;
}

// One queued connect or disconnect request. A synchronous caller waits on
// m_pEvent, which it owns; the worker only signals it.
class CMetadataMessage {
 public:
  CMetadataMessage();
  CMetadataMessage(const CMetadataMessage& other);
  CMetadataMessage& operator=(const CMetadataMessage& other);
  virtual ~CMetadataMessage();

  void SetMessage(E_METADATA_MSG eMsg, void* pParam, SysUtils::AprCond* pEvent);
  E_METADATA_MSG GetMessageType() const { return m_eMsg; }
  void* GetMessageParam() const { return m_pParam; }

  // Marks the message handled and wakes its waiter, if any. The event is not
  // touched afterwards, so the waiter may destroy it as soon as it wakes.
  void MessageProcessed();

  // Forgets pEvent when it is this message's event, so that a waiter who
  // gave up can destroy it; true when it was.
  bool WithdrawEvent(const SysUtils::AprCond* pEvent);

 private:
  E_METADATA_MSG m_eMsg;
  void* m_pParam;
  SysUtils::AprCond* m_pEvent;
};

// First in, first out: pushed at the back, taken from the front. The caller
// holds the queue's lock.
class CMetadataMessageQueue : public std::vector<CMetadataMessage> {
 public:
  virtual ~CMetadataMessageQueue() {}
  void PushMessage(E_METADATA_MSG eMsg, void* pParam, SysUtils::AprCond* pEvent);
};
