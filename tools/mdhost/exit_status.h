#pragma once

// Exit statuses of mdhost, shared by its commands.
enum MdhostExitStatus {
  kExitOk = 0,
  kExitFailed = 1,     // an operation of the plug-in failed, or `run` never connected
  kExitRefused = 2,    // the plug-in refused a setting or a channel given on the command line
  kExitLoadError = 3,  // the plug-in could not be loaded or gave no model
};
// A wrong command line: kExitUsage (64) of tools/common/command_line.h.
