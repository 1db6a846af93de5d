#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Shows control characters of a text visibly: \r \n \t, a backslash as \\,
// every other byte below 0x20 and 0x7F as \xNN. Other bytes pass unchanged.
std::string VisibleText(const char* text, size_t length);
std::string VisibleText(const std::string& text);

// The local wall-clock time with milliseconds, e.g. 2026-12-06T10:00:00.123.
std::string TimeStampNow();

// Rows of cells printed in columns as wide as their widest cell; cells are
// shown with VisibleText so a stray control character cannot break a row.
class Table {
 public:
  // Without headers the table prints its rows only.
  explicit Table(std::vector<std::string> headers = {});

  void AddRow(std::vector<std::string> cells);
  bool Empty() const { return m_rows.empty(); }

  // Each line starts with `indent` spaces; trailing blanks are left out.
  std::string Render(size_t indent) const;

 private:
  std::vector<std::string> m_headers;
  std::vector<std::vector<std::string>> m_rows;
};
