#pragma once

#include <cstdio>
#include <map>
#include <mutex>

// Receives the plug-in's callbacks on the plug-in's threads: prints each
// record and event (unless quiet) and counts them. The counters and the
// printing are serialised by one mutex. The callbacks do nothing that waits
// for the plug-in.
class RunMonitor {
 public:
  struct Totals {
    std::map<unsigned long long, unsigned long long> recordsPerChannel;
    unsigned long long records = 0;
    unsigned long long events = 0;
    unsigned long long connects = 0;
    unsigned long long losses = 0;
  };

  RunMonitor(FILE* out, bool quiet, unsigned long long deviceId);
  RunMonitor(const RunMonitor&) = delete;
  RunMonitor& operator=(const RunMonitor&) = delete;

  // The functions to register, with the monitor as user data.
  static void OnMetadata(unsigned long long deviceId, unsigned long long channelId, const char* text,
                         int length, void* monitor);
  static void OnEvent(unsigned long long deviceId, unsigned int eventId, void* monitor);

  // Prints one line of mdhost's own, in order with the callbacks' lines.
  void Note(const char* text);

  Totals Snapshot() const;

 private:
  void Record(unsigned long long deviceId, unsigned long long channelId, const char* text, int length);
  void Event(unsigned long long deviceId, unsigned int eventId);
  // Marks a callback for another device than the one configured.
  std::string DeviceNote(unsigned long long deviceId) const;
  void PrintLine(const std::string& line);

  FILE* const m_out;
  const bool m_quiet;
  const unsigned long long m_deviceId;
  mutable std::mutex m_mutex;
  Totals m_totals;
};
