#pragma once

#include <cstdio>

#include "tools/mdhost/run_options.h"

// `mdhost run`: drives the plug-in as a host metadata server does, from
// CreatePluginModel to ReleasePluginModel, printing records and events to
// `out` until a signal or the duration ends the run. Returns the exit status.
int RunPlugin(const RunOptions& options, FILE* out);
