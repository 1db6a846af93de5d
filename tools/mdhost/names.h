#pragma once

#include <string>

// Readable names for the interface's numeric codes; a value outside an
// enumeration is shown as "unknown(N)".
std::string CategoryName(unsigned int category);  // flags joined with '|'
std::string LanguageName(int language);
std::string FilterTypeName(int filterType);
std::string ExpressionTypeName(int expressionType);
std::string TagFormatName(int tagFormat);
std::string PropertyKindName(int kind);
std::string InputModeName(int inputMode);
std::string EchoModeName(int echoMode);
std::string StatusName(int status);
