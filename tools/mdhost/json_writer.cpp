#include "tools/mdhost/json_writer.h"

#include <cstdio>

namespace {

// Length of the well-formed UTF-8 sequence that starts at text[i], or 0 when
// the bytes there are not one (a stray continuation byte, a truncated or
// overlong sequence, a surrogate or a code point beyond U+10FFFF).
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length;
  unsigned int codePoint;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  const unsigned int smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < smallest[length] || codePoint > 0x10FFFF) return 0;
  if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
  return length;
}

void AppendUnicodeEscape(std::string* out, unsigned char byte) {
  char escape[8];
  snprintf(escape, sizeof(escape), "\\u%04x", byte);
  out->append(escape);
}

}  // namespace

JsonWriter& JsonWriter::BeginObject() {
  Open('{');
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  Close('}');
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Open('[');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  Close(']');
  return *this;
}

JsonWriter& JsonWriter::Key(const std::string& name) {
  BeginValue();
  AppendQuoted(name);
  m_text += ": ";
  m_afterKey = true;
  return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) {
  BeginValue();
  AppendQuoted(value);
  return *this;
}

JsonWriter& JsonWriter::Signed(long long value) {
  BeginValue();
  m_text += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Unsigned(unsigned long long value) {
  BeginValue();
  m_text += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeginValue();
  m_text += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeginValue();
  m_text += "null";
  return *this;
}

// A value right after its key continues that line; any other item of a
// container starts a line of its own, after a comma when it is not the first.
void JsonWriter::BeginValue() {
  if (m_afterKey) {
    m_afterKey = false;
    return;
  }
  if (m_containerHasItems.empty()) return;
  if (m_containerHasItems.back()) m_text += ',';
  m_containerHasItems.back() = true;
  NewLine();
}

void JsonWriter::Open(char bracket) {
  BeginValue();
  m_text += bracket;
  m_containerHasItems.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool hadItems = !m_containerHasItems.empty() && m_containerHasItems.back();
  if (!m_containerHasItems.empty()) m_containerHasItems.pop_back();
  if (hadItems) NewLine();
  m_text += bracket;
}

void JsonWriter::NewLine() {
  m_text += '\n';
  m_text.append(2 * m_containerHasItems.size(), ' ');
}

// Bytes that are not well-formed UTF-8 are taken as Latin-1 characters, so
// the result is valid JSON whatever the plug-in wrote into its fields.
void JsonWriter::AppendQuoted(const std::string& value) {
  m_text += '"';
  size_t i = 0;
  while (i < value.size()) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(value, i);
      if (length == 0) {
        AppendUnicodeEscape(&m_text, c);
        ++i;
      } else {
        m_text.append(value, i, length);
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"': m_text += "\\\""; break;
      case '\\': m_text += "\\\\"; break;
      case '\n': m_text += "\\n"; break;
      case '\r': m_text += "\\r"; break;
      case '\t': m_text += "\\t"; break;
      case '\b': m_text += "\\b"; break;
      case '\f': m_text += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          AppendUnicodeEscape(&m_text, c);
        } else {
          m_text += static_cast<char>(c);
        }
    }
    ++i;
  }
  m_text += '"';
}
