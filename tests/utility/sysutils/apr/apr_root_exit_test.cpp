// The runtime root at the end of a host. The process ends however the host exits: with models still held,
// after the host's own exit handlers used them, and with a release under way on another thread. A host
// that uses the runtime itself keeps its own clean-ups, and loading and unloading the plug-in leaves
// nothing behind. Each host is a child process that loads the built plug-in by path.

#include <apr_file_io.h>
#include <apr_general.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "support/hosted_model.h"
#include "tools/mdhost/plugin_library.h"
#include "utility/sysutils/common/system.h"

namespace {

// Runs `host` in a child that waits `settleMS` for its threads and then exits with what they left
// alive: its exit status (2 when `host` failed, 128 plus an ending signal), or -1 when killed at the
// deadline.
int ExitStatusOfHost(const std::function<bool()>& host, uint32_t settleMS = 200, int deadlineMS = 5000) {
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int status = host() ? 0 : 2;
    SysUtils::SleepMS(settleMS);
    exit(status);
  }
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, deadlineMS)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The plug-in, loaded as a host loads it and kept until the process ends, and an initialised model of
// it; null when either failed.
const PluginLibrary* g_pPlugin = nullptr;
IPluginModel2* InitialisedModel() {
  if (g_pPlugin == nullptr) g_pPlugin = PluginLibrary::Load(VANTIX_PLUGIN_PATH).release();
  IPluginModel2* pModel = g_pPlugin ? static_cast<IPluginModel2*>(g_pPlugin->CreateModel()) : nullptr;
  return pModel != nullptr && pModel->Initialize() ? pModel : nullptr;
}
bool Release(IPluginModel2* pModel) { return pModel->Uninitialize() && g_pPlugin->ReleaseModel(pModel); }

// What the host's own exit handler finds. Registered before the plug-in is loaded, it runs after the
// plug-in's.
IPluginModel2* g_pModel = nullptr;
void ReleaseAtExit() {
  if (!Release(g_pModel)) _exit(3);
}

// The models are never released by the host's main line (a live one without a connection: below).
TEST(AprRootExitTest, ProcessEndsWithLiveModelsAndAfterTheHostsOwnCleanUp) {
  vantix_test::LoopbackServer server;
  ASSERT_TRUE(server.IsListening());
  EXPECT_EQ(0, ExitStatusOfHost([&] {
              IPluginModel2* pModel = InitialisedModel();
              const T_PLUGIN_UI_CONFIG port =
                  vantix_test::Setting("ModelVantixServerPort", std::to_string(server.Port()));
              return pModel != nullptr && pModel->SetSourceConfigList(&port, 1) && pModel->Connect(true);
            }));
  EXPECT_EQ(0, ExitStatusOfHost([] {
              atexit(&ReleaseAtExit);
              return (g_pModel = InitialisedModel()) != nullptr;
            }));
}

// A thread left running into the process's exit on purpose: not a case for ThreadSanitizer's checks.
#if !defined(__SANITIZE_THREAD__)
TEST(AprRootExitTest, ReleaseRacingTheExitNeitherCrashesNorHangs) {
  for (int trial = 0; trial < 20; ++trial) {
    const auto releaseAsTheProcessExits = [] {
      IPluginModel2* pModel = InitialisedModel();
      if (pModel != nullptr) std::thread([=] { Release(pModel); }).detach();
      return pModel != nullptr;
    };
    EXPECT_EQ(0, ExitStatusOfHost(releaseAsTheProcessExits, 0)) << "trial " << trial;
  }
}
#endif

// A host that uses the runtime as documented: it initialises it, terminates it at exit, and writes 10
// bytes to a buffered file of its own pool, which the pool's clean-up writes out.
TEST(AprRootExitTest, HostUsingTheRuntimeKeepsItsCleanUpsWhateverModelItHolds) {
  enum ModelAtExit { kNoModel, kReleased, kLive };
  for (const ModelAtExit model : {kNoModel, kReleased, kLive}) {
    const std::string path = VANTIX_BINARY_DIR "/tests/host-file-" + std::to_string(model);
    remove(path.c_str());
    EXPECT_EQ(0, ExitStatusOfHost([&] {
                apr_initialize();
                atexit(apr_terminate);
                apr_pool_t* pool = nullptr;
                apr_file_t* file = nullptr;
                apr_size_t size = 10;
                const apr_int32_t flags = APR_FOPEN_CREATE | APR_FOPEN_WRITE | APR_FOPEN_BUFFERED;
                if (apr_pool_create(&pool, nullptr) != APR_SUCCESS ||
                    apr_file_open(&file, path.c_str(), flags, APR_FPROT_OS_DEFAULT, pool) != APR_SUCCESS ||
                    apr_file_write(file, "0123456789", &size) != APR_SUCCESS) {
                  return false;
                }
                IPluginModel2* pModel = model == kNoModel ? nullptr : InitialisedModel();
                return model == kNoModel || (pModel != nullptr && (model == kLive || Release(pModel)));
              }));
    struct stat written = {};
    EXPECT_EQ(10, stat(path.c_str(), &written) == 0 ? written.st_size : -1) << "model at exit " << model;
  }
}

// Many cycles of load, use and unload, in a host that keeps the runtime initialised itself, take no
// more address space than the first few (the runtime's allocator maps its memory itself).
TEST(AprRootExitTest, LoadUseUnloadCyclesLeaveNothingBehind) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's own mappings grow the address space";
#endif
  EXPECT_EQ(0, ExitStatusOfHost(
                   [] {
                     apr_initialize();
                     long before = 0;
                     for (int cycle = 0; cycle < 300; ++cycle, delete g_pPlugin, g_pPlugin = nullptr) {
                       if (cycle == 20) before = vantix_test::ProcessStatus("VmSize:");
                       IPluginModel2* pModel = InitialisedModel();
                       if (pModel == nullptr || !Release(pModel)) return false;
                     }
                     const long grown = vantix_test::ProcessStatus("VmSize:") - before;
                     fprintf(stderr, "the address space grew by %ld KiB over 280 cycles\n", grown);
                     return grown < 280;
                   },
                   0, 60000));
}

}  // namespace
