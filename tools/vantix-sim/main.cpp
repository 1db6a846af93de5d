// vantix-sim: a face-recognition server simulator that pushes text records
// over TCP the way the plug-in expects them, with fault scenarios for
// dropped connections, silent servers and a server that stops listening; it
// also captures what a real server sends and replays it with its timing.

#include <cstdio>
#include <cstring>

#include "tools/common/command_line.h"
#include "tools/vantix-sim/capture.h"
#include "tools/vantix-sim/record_source.h"
#include "tools/vantix-sim/sim_options.h"
#include "tools/vantix-sim/sim_server.h"

int main(int argc, char** argv) {
  CLI::App app("", "vantix-sim");
  SimOptions options;
  AddSimOptions(&app, &options);
  AddVersionFlag(app);
  const int parsed = ParseCommandLine(app, argc, argv);
  if (parsed >= 0) return parsed;

  Waiter waiter(options.durationSeconds > 0 ? std::optional<double>(options.durationSeconds) : std::nullopt,
                [](const char* signal) {
                  if (signal != nullptr)
                    fprintf(stderr, "vantix-sim: stopping on %s\n", signal);
                  else
                    fprintf(stderr, "vantix-sim: duration over; stopping\n");
                });
  if (!waiter.Ready()) {
    fprintf(stderr, "vantix-sim: cannot take over SIGINT and SIGTERM: %s\n", strerror(waiter.Error()));
    return 1;
  }
  if (!options.captureServer.empty()) return RunCapture(options, waiter);
  const auto source = options.replayFile.empty() ? RecordSource::Generated(options.CameraList())
                                                 : RecordSource::FromFile(options.replayFile, options.speed);
  if (!source) return 1;
  if (options.speed != 1 && !source->IsCapture()) {
    return UsageError(app, "--speed: " + options.replayFile + " is a text file, which --rate paces");
  }
  SimServer server(options, *source, waiter);
  return server.Run();
}
