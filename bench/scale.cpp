// How many connected models one host process holds, each with its worker
// and receiver threads and a silent server, before anything fails, and what
// each costs in address space: the limit of a 32-bit host with many
// face-recognition servers. The servers are one listening socket that never
// accepts: every connection waits, made, in its queue.

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include "bench/report.h"
#include "support/hosted_model.h"

namespace vantix_bench {

namespace {

const size_t kCap = 2000;
const size_t kSmokeCap = 8;
// A host of dozens of servers.
const size_t kTargetModels = 64;

// A socket listening on 127.0.0.1 that takes every connection into its queue; its port, or 0.
int SilentListener(uint16_t* pPort) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, SOMAXCONN) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *pPort = ntohs(address.sin_port);
  return fd;
}

// Every descriptor the system allows: each model holds one.
void RaiseDescriptorLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

// The product's timing but a short receive time-out, so that the models stop quickly at the end; the
// receive time-out costs no memory.
std::shared_ptr<const SysUtils::Timing> ScaleTiming() {
  std::shared_ptr<SysUtils::Timing> pTiming = std::make_shared<SysUtils::Timing>();
  pTiming->llRecvTimeoutMS = 100;
  return pTiming;
}

// Releases the models: a tenth one by one, which gives back room for threads in a full address space,
// then the rest side by side.
void ReleaseAll(std::vector<std::unique_ptr<vantix_test::HostedModel>>& models) {
  for (size_t i = models.size() / 10; i > 0; --i) models.pop_back();
  std::vector<std::thread> stoppers;
  const size_t share = models.size() / 8 + 1;
  for (size_t from = 0; from < models.size(); from += share) {
    stoppers.emplace_back([&models, from, share] {
      for (size_t i = from; i < std::min(from + share, models.size()); ++i) models[i].reset();
    });
  }
  for (std::thread& stopper : stoppers) stopper.join();
  models.clear();
}

}  // namespace

void MeasureScale(const Options& options, Table& table) {
  RaiseDescriptorLimit();
  uint16_t port = 0;
  const int listener = SilentListener(&port);
  if (listener < 0) {
    table.Add(Row{"Scale", "could not listen", "", "", "", Verdict::kMissed});
    return;
  }
  const size_t cap = options.bSmoke ? kSmokeCap : kCap;
  std::vector<std::unique_ptr<vantix_test::HostedModel>> models;
  long firstKiB = 0;
  std::string strStop = "the cap of the run";
  while (models.size() < cap) {
    std::unique_ptr<vantix_test::HostedModel> pModel(new vantix_test::HostedModel(ScaleTiming()));
    if (!pModel->IsReady()) {
      strStop = "Initialize failed";
      break;
    }
    if (!pModel->SetServer(vantix_test::kLoopbackIP, port) || !pModel->Host().Connect(true)) {
      strStop = "Connect failed: " + pModel->LastError();
      break;
    }
    models.push_back(std::move(pModel));
    if (models.size() == 1) firstKiB = vantix_test::ProcessStatus("VmSize:");
    if (models.size() % 100 == 0) std::cerr << "scale: " << models.size() << " models\n";
  }
  const size_t count = models.size();
  const double perModelKiB =
      count > 1 ? static_cast<double>(vantix_test::ProcessStatus("VmSize:") - firstKiB) / (count - 1) : 0;
  std::cerr << "scale: " << count << " connected models; stopped by " << strStop << "\n";
  ReleaseAll(models);
  close(listener);

  table.Add(Row{"Connected models in one process (" + strStop + ")", std::to_string(count), "", "",
                ">= " + std::to_string(kTargetModels),
                options.bSmoke ? Verdict::kNone : VerdictOf(count >= kTargetModels)});
  table.Add(
      Row{"Address space per connected model, KiB", Format(perModelKiB, 0), "", "", "", Verdict::kNone});
}

}  // namespace vantix_bench
