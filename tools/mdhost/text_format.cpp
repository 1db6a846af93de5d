#include "tools/mdhost/text_format.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

std::string VisibleText(const char* text, size_t length) {
  std::string shown;
  shown.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '\r': shown += "\\r"; break;
      case '\n': shown += "\\n"; break;
      case '\t': shown += "\\t"; break;
      case '\\': shown += "\\\\"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          snprintf(escape, sizeof(escape), "\\x%02X", c);
          shown += escape;
        } else {
          shown += static_cast<char>(c);
        }
    }
  }
  return shown;
}

std::string VisibleText(const std::string& text) { return VisibleText(text.data(), text.size()); }

std::string TimeStampNow() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  localtime_r(&now.tv_sec, &local);
  char date[32];
  strftime(date, sizeof(date), "%Y-%m-%dT%H:%M:%S", &local);
  char stamp[48];
  snprintf(stamp, sizeof(stamp), "%s.%03ld", date, now.tv_nsec / 1000000L);
  return stamp;
}

namespace {

// Columns count characters, not bytes: UTF-8 continuation bytes take no room.
size_t DisplayWidth(const std::string& text) {
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

Table::Table(std::vector<std::string> headers) : m_headers(std::move(headers)) {}

void Table::AddRow(std::vector<std::string> cells) {
  for (std::string& cell : cells) cell = VisibleText(cell);
  m_rows.push_back(std::move(cells));
}

std::string Table::Render(size_t indent) const {
  std::vector<std::vector<std::string>> lines;
  if (!m_headers.empty()) lines.push_back(m_headers);
  lines.insert(lines.end(), m_rows.begin(), m_rows.end());

  std::vector<size_t> widths;
  for (const auto& line : lines) {
    if (widths.size() < line.size()) widths.resize(line.size(), 0);
    for (size_t column = 0; column < line.size(); ++column) {
      widths[column] = std::max(widths[column], DisplayWidth(line[column]));
    }
  }

  std::string out;
  for (const auto& line : lines) {
    std::string row(indent, ' ');
    for (size_t column = 0; column < line.size(); ++column) {
      row += line[column];
      if (column + 1 < line.size()) row.append(widths[column] - DisplayWidth(line[column]) + 2, ' ');
    }
    while (!row.empty() && row.back() == ' ') row.pop_back();
    out += row;
    out += '\n';
  }
  return out;
}
