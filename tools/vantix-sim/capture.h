#pragma once

#include "tools/common/waiter.h"
#include "tools/vantix-sim/sim_options.h"

// Capture mode: connects to the server of --capture as a client (sending
// nothing, as the plug-in does), writes every chunk it receives with its time
// offset to --output, until the server closes, the waiter stops it, or
// --duration ends; then says how many bytes, chunks and records it saw.
// Returns the exit status: 0, or 1 when it cannot connect, read or write.
int RunCapture(const SimOptions& options, Waiter& waiter);
