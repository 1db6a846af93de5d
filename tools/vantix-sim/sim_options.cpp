#include "tools/vantix-sim/sim_options.h"

#include <cstdio>

#include "tools/common/number_text.h"

const char kSimUsage[] =
    "usage: vantix-sim [--host ADDRESS] [--port PORT] [--rate N] [--cameras 1,2,3]\n"
    "                  [--count N] [--replay FILE] [--duration SECONDS]\n"
    "                  [--drop-after N | --silent | --pause-listen-after N [--pause-seconds S]]\n"
    "\n"
    "A face-recognition server simulator: listens on 127.0.0.1:7000 (--port 0: an\n"
    "ephemeral port, reported on standard error), serves one client after another\n"
    "and pushes N records a second (default 5), each in one write ending in CR LF:\n"
    "  CamID:2 Event:FaceMatched Person:Ann Score:0.93 Time:2026-12-06T10:00:00Z\n"
    "--cameras      camera numbers used in turn (default 1)\n"
    "--count        send N records in all, then close and exit\n"
    "--replay       send the lines of FILE instead, once, then close and exit\n"
    "--drop-after   close each connection after N records on it\n"
    "--silent       accept connections but never send\n"
    "--pause-listen-after  after N records close the client and stop listening\n"
    "               for --pause-seconds (default 5), then listen again\n"
    "--duration     end after SECONDS; SIGINT and SIGTERM end it at any time\n";

namespace {

bool Fail(const std::string& message) {
  fprintf(stderr, "vantix-sim: %s\n", message.c_str());
  return false;
}

bool ParseCameras(const std::string& text, std::vector<std::string>* cameras) {
  cameras->clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string camera = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (camera.empty() || camera.find_first_not_of("0123456789") != std::string::npos) return false;
    cameras->push_back(camera);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

bool ParseValue(const std::string& name, const std::string& value, SimOptions* options) {
  unsigned long long number = 0;
  if (name == "--host") {
    options->host = value;
    return !value.empty() || Fail("--host wants an address");
  }
  if (name == "--port") {
    if (!ParseUnsignedText(value, &number) || number > 65535) {
      return Fail("--port wants 0 to 65535, not '" + value + "'");
    }
    options->port = static_cast<unsigned short>(number);
    return true;
  }
  if (name == "--rate") return ParsePositiveText(value, &options->rate) || Fail("--rate wants a positive number");
  if (name == "--cameras") {
    return ParseCameras(value, &options->cameras) || Fail("--cameras wants camera numbers like 1,2,3");
  }
  if (name == "--replay") {
    options->replayFile = value;
    return !value.empty() || Fail("--replay wants a file");
  }
  if (name == "--pause-seconds") {
    return ParsePositiveText(value, &options->pauseSeconds) || Fail("--pause-seconds wants a positive number");
  }
  if (name == "--duration") {
    double seconds = 0;
    if (!ParsePositiveText(value, &seconds)) return Fail("--duration wants a positive number of seconds");
    options->durationSeconds = seconds;
    return true;
  }
  if (!ParseUnsignedText(value, &number) || number == 0) return Fail(name + " wants a positive whole number");
  if (name == "--count") options->count = number;
  if (name == "--drop-after") options->dropAfter = number;
  if (name == "--pause-listen-after") options->pauseListenAfter = number;
  return true;
}

bool TakesValue(const std::string& name) {
  static const char* const kNames[] = {"--host",   "--port",       "--rate",         "--cameras",
                                       "--count",  "--replay",     "--drop-after",   "--pause-listen-after",
                                       "--pause-seconds", "--duration"};
  for (const char* known : kNames) {
    if (name == known) return true;
  }
  return false;
}

// A silent server sends nothing, so options about what it sends contradict it.
bool CheckCombination(const SimOptions& options) {
  if (options.silent && (options.count || !options.replayFile.empty() || options.dropAfter ||
                         options.pauseListenAfter)) {
    return Fail("--silent sends nothing; it does not combine with --count, --replay, --drop-after or "
                "--pause-listen-after");
  }
  return true;
}

}  // namespace

SimParse ParseSimOptions(int argc, char** argv, SimOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return kSimHelp;
    if (arg == "--silent") {
      options->silent = true;
    } else if (TakesValue(arg)) {
      if (i + 1 == argc) {
        Fail(arg + " wants a value");
        return kSimUsageError;
      }
      if (!ParseValue(arg, argv[++i], options)) return kSimUsageError;
    } else {
      Fail("unknown argument " + arg);
      return kSimUsageError;
    }
  }
  return CheckCombination(*options) ? kSimParsed : kSimUsageError;
}
