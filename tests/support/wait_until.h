#pragma once

#include <cstdint>
#include <functional>

// Polls `done` every few milliseconds until it is true or `timeoutMs` has
// passed on the monotonic clock; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, int64_t timeoutMs);
