#pragma once

// The real model, created and driven through the host interface the way a
// host does it, with its clocks set through the test seams.

#include <cstdint>
#include <functional>
#include <string>

#include "MetadataModelVantix/MetadataModelVantix.h"
#include "support/host_recorder.h"
#include "support/loopback.h"
#include "support/loopback_server.h"
#include "support/receiver_timing.h"

namespace vantix_test {

// Generous: the i386 build runs under an emulator.
constexpr int kDeadlineMS = 10000;

class HostedModel {
 public:
  static constexpr unsigned long long kDeviceID = 0xD0;
  static constexpr uint32_t kWorkerPeriodMS = 20;
  static constexpr int kReconnectIntervalMS = 300;

  // Short clocks by default; Product() gives the product's own.
  struct Timing {
    uint32_t uiWorkerPeriodMS = kWorkerPeriodMS;
    int reconnectIntervalMS = kReconnectIntervalMS;
    CVantixReceiver::Timing receiver = QuickReceiverTiming();
    static Timing Product();
  };

  // Creates, identifies and initialises the model, sets its clocks and
  // registers the two recorders.
  HostedModel();
  explicit HostedModel(const Timing& timing);
  // Releases the model unless the test already did.
  ~HostedModel() { Release(); }
  HostedModel(const HostedModel&) = delete;
  HostedModel& operator=(const HostedModel&) = delete;

  bool IsReady() const { return m_pModel != nullptr; }
  IPluginModel2& Host() { return *m_pModel; }
  CMetadataModelVantix& Model() { return *m_pModel; }

  bool SetServer(const std::string& strIP, uint16_t usPort);
  // SetServer to the loopback server, Connect(true), and the server's accept.
  bool ConnectTo(LoopbackServer& server);
  // A channel directly under the device, listening to `camera`.
  bool AddCameraChannel(unsigned long long ullChID, int camera);
  bool SetCamera(unsigned long long ullChID, int camera) { return SetCamera(ullChID, std::to_string(camera)); }
  bool SetCamera(unsigned long long ullChID, const std::string& strCamera);
  E_METADATA_STATUS Status() const;
  std::string LastError() const;
  // ReleasePluginModel, as the host ends; the model is gone afterwards.
  bool Release();

  EventRecorder events;
  RecordRecorder records;

 private:
  CMetadataModelVantix* m_pModel;
};

// "CamID:<camera> Event:face seq=<sequence>\r\n", one record of the server.
std::string CameraRecord(int camera, int sequence);
// What the host receives for it.
std::string HostText(int camera, int sequence);
// The sequence number of a record as the host receives it, or -1.
int SequenceOf(const std::string& strHostText);

// Runs `call` on a thread of its own. A call that has not returned after
// timeoutMS ends the process with a message naming `what`: a hung host call
// can be neither joined nor abandoned safely.
void FinishWithin(const char* what, int timeoutMS, const std::function<void()>& call);

}  // namespace vantix_test
