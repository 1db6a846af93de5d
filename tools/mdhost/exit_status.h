#pragma once

// Exit statuses of mdhost, shared by its commands.
enum MdhostExitStatus {
  kExitOk = 0,
  kExitFailed = 1,     // an operation of the plug-in reported failure
  kExitRefused = 2,    // the plug-in refused a setting given on the command line
  kExitLoadError = 3,  // the plug-in could not be loaded or gave no model
  kExitUsage = 64,     // the command line is wrong
};
