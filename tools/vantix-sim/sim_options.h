#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

// What vantix-sim is asked to do. A count or a time of 0 stands for an option
// that was not given.
struct SimOptions {
  std::string host = "127.0.0.1";
  unsigned int port = 7000;                 // 0: an ephemeral port
  double rate = 5;                          // records per second
  std::string cameras = "1";                // camera numbers, in turn
  unsigned long long count = 0;             // total records, then exit
  std::string replayFile;                   // a text or capture file to send instead
  double speed = 1;                         // a replayed capture's pace
  unsigned long long dropAfter = 0;         // close each connection after N records
  bool silent = false;                      // accept but never send
  unsigned long long pauseListenAfter = 0;  // after N records stop listening once
  double pauseSeconds = 5;                  // for how long
  double durationSeconds = 0;               // end after this long
  std::string captureServer;                // HOST:PORT: capture from it instead of serving
  std::string outputFile;                   // where the capture goes

  std::vector<std::string> CameraList() const;
};

void AddSimOptions(CLI::App* app, SimOptions* options);
