#pragma once

// The one door through which tests reach into a model: the timing it keeps to,
// its receiver, and what the host holds of its lists.

#include <memory>

#include "MetadataModelVantix/MetadataModelVantix.h"

class CModelTestDoor {
 public:
  // Before Initialize: the worker and the receiver take it when they start.
  static void SetTiming(CMetadataModelBase1& model, std::shared_ptr<const SysUtils::Timing> pTiming) {
    model.m_pTiming = std::move(pTiming);
  }
  static const CVantixReceiver* Receiver(const CMetadataModelVantix& model) {
    return model.m_pReceiver.get();
  }
  // Property lists and filter profile sets handed out and not given back.
  static size_t HandedOutArrays(CMetadataModelBase1& model) {
    SysUtils::CriticalSectionLock lock(&model.m_csSetting);
    return model.m_SourcePropertyLists.Outstanding() + model.m_ChannelPropertyLists.Outstanding() +
           model.m_FilterProfileSets.Outstanding();
  }
};

namespace vantix_test {

// The product's timing, made short: 20 ms passes and a 300 ms reconnect
// interval; 1000 ms connection attempts, 50 ms receives, 10 ms pauses, a
// 300 ms failure window and no silent rebuild of a quiet connection.
inline std::shared_ptr<SysUtils::Timing> QuickTiming() {
  std::shared_ptr<SysUtils::Timing> pTiming = std::make_shared<SysUtils::Timing>();
  pTiming->uiWorkerPeriodMS = 20;
  pTiming->ullReconnectIntervalMS = 300;
  pTiming->llConnectTimeoutMS = 1000;
  pTiming->llRecvTimeoutMS = 50;
  pTiming->uiPauseMS = 10;
  pTiming->uiSilenceLimit = 1000000;
  pTiming->llFailureWindowMS = 300;
  return pTiming;
}

// Gives the model a worker of the given pass and reconnect interval, on the clock `now`.
inline void UseWorkerTiming(CMetadataModelBase1& model, uint32_t uiPeriodMS, uint64_t ullIntervalMS,
                            int64_t (*now)() = &SysUtils::GetTimeCountMS) {
  struct WorkerTiming : SysUtils::Timing {
    int64_t (*fnNow)();
    int64_t NowMS() const override { return fnNow(); }
  };
  std::shared_ptr<WorkerTiming> pTiming = std::make_shared<WorkerTiming>();
  pTiming->uiWorkerPeriodMS = uiPeriodMS;
  pTiming->ullReconnectIntervalMS = ullIntervalMS;
  pTiming->fnNow = now;
  CModelTestDoor::SetTiming(model, pTiming);
}

}  // namespace vantix_test
