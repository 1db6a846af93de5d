#include "tools/mdhost/names.h"

#include <iterator>

#include "MetadataModelBase/PluginModelDef.h"

namespace {

std::string Unknown(long long value) { return "unknown(" + std::to_string(value) + ")"; }

// Names of an enumeration whose values run from `first` without gaps.
template <size_t N>
std::string NameIn(const char* const (&names)[N], int first, int value) {
  const long long index = static_cast<long long>(value) - first;
  if (index < 0 || index >= static_cast<long long>(N)) return Unknown(value);
  return names[index];
}

}  // namespace

std::string CategoryName(unsigned int category) {
  if (category == eMETADATA_CATEGORY_UNDEFINE) return "UNDEFINE";
  if (category == eMETADATA_CATEGORY_ALL) return "ALL";
  const struct {
    unsigned int flag;
    const char* name;
  } flags[] = {{eMETADATA_CATEGORY_POS, "POS"},
               {eMETADATA_CATEGORY_AC, "AC"},
               {eMETADATA_CATEGORY_LPR, "LPR"},
               {eMETADATA_CATEGORY_IVS, "IVS"},
               {eMETADATA_CATEGORY_KOVANT, "KOVANT"}};
  std::string names;
  unsigned int rest = category;
  for (const auto& flag : flags) {
    if ((category & flag.flag) == 0) continue;
    if (!names.empty()) names += '|';
    names += flag.name;
    rest &= ~flag.flag;
  }
  if (rest != 0) {
    if (!names.empty()) names += '|';
    names += Unknown(rest);
  }
  return names;
}

std::string LanguageName(int language) {
  static const char* const kNames[] = {
      "UTF8",         "BIG5",         "CP866",        "EUC_JP",       "EUC_KR",       "GB2312",
      "IBM850",       "ASMO_708",     "ISO_2022_JP",  "ISO_8859_1",   "ISO_8859_2",   "ISO_8859_3",
      "ISO_8859_4",   "ISO_8859_5",   "ISO_8859_6",   "ISO_8859_7",   "ISO_8859_8",   "ISO_8859_9",
      "ISO_8859_15",  "KOI8_R",       "KOI8_U",       "MACINTOSH",    "SHIFT_JIS",    "WINDOWS_1250",
      "WINDOWS_1251", "WINDOWS_1252", "WINDOWS_1253", "WINDOWS_1254", "WINDOWS_1255", "WINDOWS_1256",
      "WINDOWS_1257", "WINDOWS_1258", "ASCII"};
  static_assert(std::size(kNames) == eLang_ASCII + 1, "one name per character set");
  return language == eLang_None ? "none" : NameIn(kNames, eLang_UTF8, language);
}

std::string FilterTypeName(int filterType) {
  static const char* const kNames[] = {"none", "replace", "start", "end", "newline", "omit"};
  return NameIn(kNames, eFTypeNone, filterType);
}

std::string ExpressionTypeName(int expressionType) {
  static const char* const kNames[] = {"none", "regex", "literal", "wildcard"};
  return NameIn(kNames, eETypeNone, expressionType);
}

std::string TagFormatName(int tagFormat) {
  static const char* const kNames[] = {"none", "text", "number"};
  return NameIn(kNames, eTagFormatNone, tagFormat);
}

std::string PropertyKindName(int kind) {
  static const char* const kNames[] = {"none",   "checkbox", "lineedit", "combobox",
                                       "slider", "radio",    "spinbox"};
  return NameIn(kNames, ePluginProperty_None, kind);
}

std::string InputModeName(int inputMode) {
  static const char* const kNames[] = {"any", "numbers"};
  return NameIn(kNames, eAny, inputMode);
}

std::string EchoModeName(int echoMode) {
  static const char* const kNames[] = {"normal", "password"};
  return NameIn(kNames, eNormal, echoMode);
}

std::string StatusName(int status) {
  static const char* const kNames[] = {"disconnected", "connected", "connecting"};
  return NameIn(kNames, eMETADATA_STATUS_DISCONNECT, status);
}
