#pragma once

#include <string>

// Numbers on the tools' command lines.

// Decimal digits only (no sign, no blanks), within 64 bits.
bool ParseUnsignedText(const std::string& text, unsigned long long* value);

// A finite number greater than zero, e.g. "5" or "0.25".
bool ParsePositiveText(const std::string& text, double* value);
