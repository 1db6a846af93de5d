#include "tools/vantix-sim/sim_options.h"

#include "tools/common/command_line.h"

namespace {

const char kDescription[] =
    "A face-recognition server simulator: listens on 127.0.0.1:7000 (--port 0: an\n"
    "ephemeral port, reported on standard error), serves one client after another\n"
    "and pushes N records a second (default 5), each in one write ending in CR LF:\n"
    "  CamID:2 Event:FaceMatched Person:Ann Score:0.93 Time:2026-12-06T10:00:00Z\n"
    "With --capture it is a client instead and records what a real server sends,\n"
    "chunk by chunk with its timing, for --replay to send again.";
const char kFooter[] =
    "SIGINT and SIGTERM end it at any time. Exit status: 0 ok, 1 it cannot listen,\n"
    "connect, read or write, 64 a wrong command line.";

std::string CheckCameras(std::string& text) {
  const bool wellFormed = !text.empty() && text.find_first_not_of("0123456789,") == std::string::npos &&
                          text.front() != ',' && text.back() != ',' && text.find(",,") == std::string::npos;
  return wellFormed ? "" : "wants camera numbers like 1,2,3, not '" + text + "'";
}

std::string CheckServer(std::string& text) {
  const size_t colon = text.rfind(':');
  std::string port = colon == std::string::npos ? "" : text.substr(colon + 1);
  if (colon == 0 || !Decimal()(port).empty() || DecimalValue(port) == 0 || DecimalValue(port) > 65535) {
    return "wants HOST:PORT with a port from 1 to 65535, not '" + text + "'";
  }
  return "";
}

std::string CheckWhole(std::string& text) {
  if (!Decimal()(text).empty() || DecimalValue(text) == 0)
    return "wants a whole number above 0, not '" + text + "'";
  return Decimal()(text);  // drops leading zeros
}

CLI::Validator Whole() { return CLI::Validator(CheckWhole, ""); }

}  // namespace

std::vector<std::string> SimOptions::CameraList() const {
  std::vector<std::string> list;
  for (size_t start = 0; start <= cameras.size();) {
    const size_t comma = std::min(cameras.find(',', start), cameras.size());
    list.push_back(cameras.substr(start, comma - start));
    start = comma + 1;
  }
  return list;
}

void AddSimOptions(CLI::App* app, SimOptions* options) {
  app->description(kDescription);
  app->footer(kFooter);
  CLI::Option* host = app->add_option("--host", options->host, "address to listen on")
                          ->capture_default_str()
                          ->type_name("ADDRESS");
  CLI::Option* port = app->add_option("--port", options->port, "port to listen on")
                          ->capture_default_str()
                          ->type_name("PORT")
                          ->transform(Decimal())
                          ->check(CLI::Range(0, 65535));
  CLI::Option* rate = app->add_option("--rate", options->rate, "records per second")
                          ->capture_default_str()
                          ->type_name("N")
                          ->check(Positive());
  CLI::Option* cameras = app->add_option("--cameras", options->cameras, "camera numbers used in turn")
                             ->capture_default_str()
                             ->type_name("LIST")
                             ->check(CLI::Validator(CheckCameras, ""));
  CLI::Option* count =
      app->add_option("--count", options->count, "send N records in all, then close and exit")
          ->type_name("N")
          ->transform(Whole());
  CLI::Option* replay =
      app->add_option("--replay", options->replayFile,
                      "send FILE once instead, then close and exit: the lines of a text file one\n"
                      "record per write at --rate, or the chunks of a capture as they came")
          ->type_name("FILE");
  app->add_option("--speed", options->speed, "replay a capture N times as fast (0.5: at half its pace)")
      ->type_name("N")
      ->check(Positive())
      ->needs(replay);
  CLI::Option* drop =
      app->add_option("--drop-after", options->dropAfter, "close each connection after N records")
          ->type_name("N")
          ->transform(Whole());
  CLI::Option* silent = app->add_flag("--silent", options->silent, "accept connections but never send");
  CLI::Option* pause =
      app->add_option("--pause-listen-after", options->pauseListenAfter,
                      "after N records close the client and stop listening for --pause-seconds,\n"
                      "then listen again")
          ->type_name("N")
          ->transform(Whole());
  app->add_option("--pause-seconds", options->pauseSeconds, "how long --pause-listen-after stops listening")
      ->capture_default_str()
      ->type_name("SECONDS")
      ->check(Positive());
  app->add_option("--duration", options->durationSeconds, "end after SECONDS")
      ->type_name("SECONDS")
      ->check(Positive());
  CLI::Option* capture =
      app->add_option("--capture", options->captureServer,
                      "connect to a server at HOST:PORT and record every chunk it sends, with\n"
                      "its time, until the server closes, --duration or Ctrl-C")
          ->type_name("HOST:PORT")
          ->check(CLI::Validator(CheckServer, ""));
  CLI::Option* output =
      app->add_option("--output", options->outputFile, "the capture file to write")->type_name("FILE");
  // A silent server sends nothing, so options about what it sends contradict it.
  silent->excludes(count)->excludes(replay)->excludes(drop)->excludes(pause);
  capture->needs(output)
      ->excludes(host)
      ->excludes(port)
      ->excludes(rate)
      ->excludes(cameras)
      ->excludes(count)
      ->excludes(replay)
      ->excludes(drop)
      ->excludes(silent)
      ->excludes(pause);
  output->needs(capture);
}
