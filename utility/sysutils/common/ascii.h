#pragma once

namespace SysUtils {

// The C locale's classes, tested in place rather than looked up: they run for
// every character of every record and every value.
inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace SysUtils
