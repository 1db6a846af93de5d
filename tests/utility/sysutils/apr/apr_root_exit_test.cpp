// A host may end its process with exit() while it still holds a model, from an
// error path or a signal handler; the process must end all the same.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "support/hosted_model.h"
#include "utility/sysutils/common/system.h"

namespace {

using vantix_test::HostedModel;

// Runs `prepare` in a child that lets its threads settle and exits with what they left alive:
// its exit status (2 when `prepare` failed, 128 plus an ending signal), or -1 when killed after 5 s.
int ExitStatusOfChild(const std::function<bool()>& prepare) {
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int status = prepare() ? 0 : 2;
    SysUtils::SleepMS(200);
    exit(status);
  }
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5000)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The models are never released: the host exits with them.
TEST(AprRootExitTest, ProcessEndsWithAnInitialisedModel) {
  EXPECT_EQ(0, ExitStatusOfChild([] { return (new HostedModel)->IsReady(); }));
}

TEST(AprRootExitTest, ProcessEndsWithAConnectedModel) {
  vantix_test::LoopbackServer server;
  ASSERT_TRUE(server.IsListening());
  EXPECT_EQ(0, ExitStatusOfChild([&] {
              HostedModel* pModel = new HostedModel;
              return pModel->IsReady() && pModel->SetServer("127.0.0.1", server.Port()) &&
                     pModel->Host().Connect(true);
            }));
}

}  // namespace
