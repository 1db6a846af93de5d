// A host's whole life with the plug-in, for memory checkers: load the
// library, create a model, configure it for a face-recognition server that
// this program runs itself on 127.0.0.1, connect, receive records, see the
// server drop the connection, disconnect, uninitialise, release and unload.
// Three such cycles; in the last one the server also stops listening for a
// while, so that the model reports the lost connection (3600) and, after it
// has reconnected by itself, the restored one (3601). Those use the product's
// own timings, about sixteen seconds.
//
// Exits 0 when everything expected happened within its deadline, 1 otherwise.

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MetadataModelBase/IPluginModel.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const unsigned long long kDeviceID = 42;
const unsigned long long kChannelCam2 = 101;
const unsigned long long kChannelCam3 = 102;
const unsigned int kEventLost = 3600;
const unsigned int kEventRestored = 3601;
const milliseconds kShortDeadline(5000);
// Loss is reported after six seconds of failing receives; reconnection is
// tried ten seconds after that.
const milliseconds kLossDeadline(20000);
const milliseconds kRestoreDeadline(25000);

bool Fail(const std::string& what) {
  fprintf(stderr, "host_lifecycle: %s\n", what.c_str());
  return false;
}

// What the model has handed to the host, from its callback threads.
class Recorder {
 public:
  void AddRecord(unsigned long long ullChannelID, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.push_back(std::to_string(ullChannelID) + " " + text);
    m_changed.notify_all();
  }
  void AddEvent(unsigned int uiEventID) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(uiEventID);
    m_changed.notify_all();
  }
  bool WaitForRecords(size_t count, milliseconds deadline) {
    return WaitFor([&] { return m_records.size() >= count; }, deadline);
  }
  bool WaitForEvents(unsigned int uiEventID, size_t count, milliseconds deadline) {
    return WaitFor([&] { return CountEvents(uiEventID) >= count; }, deadline);
  }
  std::vector<std::string> Records() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_records;
  }

 private:
  size_t CountEvents(unsigned int uiEventID) const {
    size_t count = 0;
    for (unsigned int e : m_events) count += (e == uiEventID) ? 1 : 0;
    return count;
  }
  bool WaitFor(const std::function<bool()>& done, milliseconds deadline) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, deadline, done);
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_records;
  std::vector<unsigned int> m_events;
};

void OnMetadata(unsigned long long, unsigned long long ullChannelID, const char* sMetadata, int iMetadataLen,
                void* pUserData) {
  static_cast<Recorder*>(pUserData)->AddRecord(ullChannelID, std::string(sMetadata, iMetadataLen));
}

void OnEvent(unsigned long long, unsigned int uiEventID, void* pUserData) {
  static_cast<Recorder*>(pUserData)->AddEvent(uiEventID);
}

// A file descriptor closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : m_fd(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return m_fd; }
  int Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (m_fd >= 0) close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd;
};

// The face-recognition server: listens on 127.0.0.1, serves one connection
// at a time on its own thread, and sends what the program tells it to.
class LoopbackServer {
 public:
  LoopbackServer() : m_thread([this] { Serve(); }) {}
  ~LoopbackServer() {
    m_stop = true;
    m_thread.join();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Binds a listening socket on the given port (0: an ephemeral one).
  bool Listen(uint16_t port) {
    Descriptor listener(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    const int one = 1;
    setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof(address);
    if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener.Get(), 4) != 0 ||
        getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_port = ntohs(address.sin_port);
    m_listener.Reset(listener.Release());
    return true;
  }
  void StopListening() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener.Reset();
  }
  // Closes the current connection; a later one is accepted as usual.
  void DropConnection() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connection.Reset();
  }
  uint16_t Port() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port;
  }
  bool WaitForConnection(milliseconds deadline) {
    const Clock::time_point end = Clock::now() + deadline;
    while (Clock::now() < end) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_connection.Get() >= 0) return true;
      }
      std::this_thread::sleep_for(milliseconds(10));
    }
    return false;
  }
  bool Send(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connection.Get() >= 0 &&
           send(m_connection.Get(), text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
  }

 private:
  void Serve() {
    while (!m_stop) {
      AcceptPending();
      std::this_thread::sleep_for(milliseconds(10));
    }
  }
  // Polls, so that StopListening never races a blocked accept.
  void AcceptPending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_listener.Get() < 0) return;
    const int fd = accept(m_listener.Get(), nullptr, nullptr);
    if (fd >= 0) m_connection.Reset(fd);
  }

  std::mutex m_mutex;
  Descriptor m_listener;
  Descriptor m_connection;
  uint16_t m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// The library loaded the way a host loads it, unloaded when it goes.
class Plugin {
 public:
  Plugin() : m_handle(dlopen(VANTIX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL)) {
    if (m_handle == nullptr) return;
    m_create = reinterpret_cast<fnCreatePluginModel>(dlsym(m_handle, "CreatePluginModel"));
    m_release = reinterpret_cast<fnReleasePluginModel>(dlsym(m_handle, "ReleasePluginModel"));
  }
  ~Plugin() {
    if (m_handle != nullptr) dlclose(m_handle);
  }
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  bool Loaded() const { return m_create != nullptr && m_release != nullptr; }
  IPluginModel2* Create() const { return static_cast<IPluginModel2*>(m_create()); }
  bool Release(IPluginModel1* pModel) const { return m_release(pModel); }

 private:
  void* m_handle;
  fnCreatePluginModel m_create = nullptr;
  fnReleasePluginModel m_release = nullptr;
};

T_PLUGIN_UI_CONFIG Setting(const char* sPropertyID, const std::string& value) {
  T_PLUGIN_UI_CONFIG setting = {};
  snprintf(setting.sPluginID, sizeof(setting.sPluginID), "%s", sPropertyID);
  snprintf(setting.sValue, sizeof(setting.sValue), "%s", value.c_str());
  return setting;
}

bool AddCameraChannel(IPluginModel2* pModel, unsigned long long ullChID, const char* sCamera) {
  T_PLUGIN_ID pluginID = {};
  snprintf(pluginID.sPluginID, sizeof(pluginID.sPluginID), "ID_VANTIX_CH");
  T_PLUGIN_UI_CONFIG camera = Setting("ModelVantixCH", sCamera);
  return pModel->AddChannel(kDeviceID, ullChID, &pluginID) && pModel->SetChannelConfigList(ullChID, &camera, 1) &&
         pModel->SetChannelEnable(ullChID, true);
}

bool Configure(IPluginModel2* pModel, uint16_t port, Recorder& recorder) {
  const T_PLUGIN_UI_CONFIG source[] = {Setting("ModelVantixIP", "127.0.0.1"),
                                       Setting("ModelVantixServerPort", std::to_string(port))};
  if (!pModel->SetDeviceID(kDeviceID)) return Fail("SetDeviceID refused");
  if (!pModel->Initialize()) return Fail("Initialize failed");
  if (!pModel->SetSourceConfigList(source, 2)) return Fail("SetSourceConfigList refused");
  if (!AddCameraChannel(pModel, kChannelCam2, "2") || !AddCameraChannel(pModel, kChannelCam3, "3")) {
    return Fail("adding or configuring a channel failed");
  }
  return pModel->RegisterMetadataCallbackFunc(OnMetadata, &recorder) &&
         pModel->RegisterEventCallbackFunc(OnEvent, &recorder);
}

// Sends one record and waits until the host has it, so that every receive
// holds exactly one record; checks the text and the channel it went to.
bool ExchangeRecord(LoopbackServer& server, Recorder& recorder, const std::string& camera, size_t index,
                    unsigned long long ullExpectedChannel) {
  const std::string serial = std::to_string(index);
  if (!server.Send("Time:" + serial + " CamID:" + camera + " Event:FaceMatched\r\n")) {
    return Fail("the server could not send record " + serial);
  }
  if (!recorder.WaitForRecords(index + 1, kShortDeadline)) return Fail("record " + serial + " did not arrive");
  const std::string expected =
      std::to_string(ullExpectedChannel) + " Time:" + serial + "\r\nCamID:" + camera + "\r\nEvent:FaceMatched\r\n\r\n";
  const std::string got = recorder.Records()[index];
  if (got != expected) return Fail("record " + serial + " arrived as \"" + got + "\"");
  return true;
}

bool ExchangeRecords(LoopbackServer& server, Recorder& recorder, size_t first) {
  if (!server.WaitForConnection(kShortDeadline)) return Fail("the model did not connect to the server");
  for (size_t i = first; i < first + 4; ++i) {
    const bool bCam2 = (i % 2) == 0;
    if (!ExchangeRecord(server, recorder, bCam2 ? "2" : "3", i, bCam2 ? kChannelCam2 : kChannelCam3)) return false;
  }
  return true;
}

// The server goes away for longer than the model's failure window and comes
// back on the same port.
bool LoseAndRegain(LoopbackServer& server, Recorder& recorder) {
  const uint16_t port = server.Port();
  server.StopListening();
  server.DropConnection();
  if (!recorder.WaitForEvents(kEventLost, 1, kLossDeadline)) return Fail("the lost connection was not reported");
  if (!server.Listen(port)) return Fail("the server could not listen again on its port");
  if (!recorder.WaitForEvents(kEventRestored, 2, kRestoreDeadline)) {
    return Fail("the restored connection was not reported");
  }
  return ExchangeRecords(server, recorder, 4);
}

bool RunCycle(bool bLoseConnection) {
  LoopbackServer server;
  if (!server.Listen(0)) return Fail("the server could not listen");
  Plugin plugin;
  if (!plugin.Loaded()) return Fail(std::string("loading the plug-in failed: ") + dlerror());
  Recorder recorder;
  IPluginModel2* pModel = plugin.Create();
  if (pModel == nullptr) return Fail("CreatePluginModel returned nothing");
  bool ok = Configure(pModel, server.Port(), recorder);
  ok = ok && (pModel->Connect(true) || Fail("Connect failed"));
  ok = ok && (recorder.WaitForEvents(kEventRestored, 1, kShortDeadline) || Fail("no connect event"));
  ok = ok && ExchangeRecords(server, recorder, 0);
  if (ok && bLoseConnection) ok = LoseAndRegain(server, recorder);
  // The server closes; the model may reconnect, which it accepts.
  server.DropConnection();
  ok = (pModel->Disconnect(true) || Fail("Disconnect failed")) && ok;
  ok = (pModel->Uninitialize() || Fail("Uninitialize failed")) && ok;
  ok = (plugin.Release(pModel) || Fail("ReleasePluginModel failed")) && ok;
  return ok;
}

}  // namespace

int main() {
  const bool lossCycle[] = {false, false, true};
  for (size_t i = 0; i < 3; ++i) {
    fprintf(stderr, "host_lifecycle: cycle %zu%s\n", i + 1, lossCycle[i] ? " with a lost connection" : "");
    if (!RunCycle(lossCycle[i])) return 1;
  }
  fprintf(stderr, "host_lifecycle: 3 cycles passed\n");
  return 0;
}
