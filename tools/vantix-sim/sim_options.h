#pragma once

#include <optional>
#include <string>
#include <vector>

// What vantix-sim is asked to do.
struct SimOptions {
  std::string host = "127.0.0.1";
  unsigned short port = 7000;                           // 0: an ephemeral port
  double rate = 5;                                      // records per second
  std::vector<std::string> cameras = {"1"};             // camera numbers, in turn
  std::optional<unsigned long long> count;              // total records, then exit
  std::string replayFile;                               // lines to send instead of generated records
  std::optional<unsigned long long> dropAfter;          // close each connection after N records
  bool silent = false;                                  // accept but never send
  std::optional<unsigned long long> pauseListenAfter;   // after N records stop listening once
  double pauseSeconds = 5;                              // for how long
  std::optional<double> durationSeconds;                // end after this long
};

enum SimParse { kSimParsed, kSimHelp, kSimUsageError };

// Parses the command line; on a mistake prints one message to standard error.
SimParse ParseSimOptions(int argc, char** argv, SimOptions* options);

extern const char kSimUsage[];
