#pragma once

#include <string>
#include <vector>

// Builds one JSON text, indented two spaces per level. The caller opens and
// closes containers in a proper order and writes a Key before every value
// inside an object; strings of any bytes come out as valid JSON.
class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const std::string& name);
  JsonWriter& String(const std::string& value);
  JsonWriter& Signed(long long value);
  JsonWriter& Unsigned(unsigned long long value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& Text() const { return m_text; }

 private:
  void BeginValue();
  void Open(char bracket);
  void Close(char bracket);
  void AppendQuoted(const std::string& value);
  void NewLine();

  std::string m_text;
  std::vector<bool> m_containerHasItems;
  bool m_afterKey = false;
};
