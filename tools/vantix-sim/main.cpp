// vantix-sim: a face-recognition server simulator that pushes text records
// over TCP the way the plug-in expects them, with fault scenarios for
// dropped connections, silent servers and a server that stops listening.

#include <cstdio>

#include "tools/vantix-sim/record_source.h"
#include "tools/vantix-sim/sim_options.h"
#include "tools/vantix-sim/sim_server.h"

int main(int argc, char** argv) {
  SimOptions options;
  switch (ParseSimOptions(argc, argv, &options)) {
    case kSimHelp:
      fputs(kSimUsage, stdout);
      return 0;
    case kSimUsageError:
      fputs(kSimUsage, stderr);
      return 64;
    case kSimParsed:
      break;
  }
  const auto source = options.replayFile.empty() ? RecordSource::Generated(options.cameras)
                                                 : RecordSource::FromFile(options.replayFile);
  if (!source) return 1;
  SimServer server(options, *source);
  return server.Run();
}
