#pragma once

// Bounded copies between the model's strings and the fixed-size text fields
// and arrays that the host owns. Every write into a host record goes through
// these, so no copy can run past an array or leave a field unterminated.

#include <cstddef>
#include <cstring>
#include <string>

// Writes text into a field of N bytes the way strncpy with count N does
// (the rest of the field NUL-filled), then forces the last byte to NUL: a
// text of N or more bytes is cut to its first N-1 bytes.
template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
  const size_t length = strnlen(text.c_str(), N - 1);
  memcpy(field, text.c_str(), length);
  memset(field + length, 0, N - length);
}

// Reads a host text field up to its NUL, but never past the field, even when
// the host left it unterminated.
template <size_t N>
std::string ReadText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// The number of entries to copy between a model list of `available` entries
// and a host array of `requested` entries: never more than either holds.
inline unsigned int BoundedCount(size_t available, unsigned int requested) {
  return available < requested ? static_cast<unsigned int>(available) : requested;
}

// Fills host array `out` from the first min(uiSize, list size) entries of
// `list`, one fill(entry, record) per entry. Returns the count written.
template <typename List, typename Record, typename Fill>
unsigned int CopyToHostArray(const List& list, Record* out, unsigned int uiSize, Fill fill) {
  const unsigned int count = BoundedCount(list.size(), uiSize);
  for (unsigned int i = 0; i < count; ++i) fill(list[i], out[i]);
  return count;
}
