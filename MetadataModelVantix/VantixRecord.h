#pragma once

// What the model reads from one record of the face-recognition server, and
// the text it hands to the host for it. Both depend only on the record, so a
// record is read and rewritten once, however many channels receive it.

#include <string>

// The record's camera identifier: from just behind the first "CamID:" to one
// character before the first "Event" (both searched from the start), so the
// one character that separates them is left out. When "Event" is missing, or
// stands before that point, the identifier runs to the end of the record.
// Empty when the record has no "CamID:".
std::string CutCameraID(const std::string& strRecord);

// The record as the host receives it: every word (a run of characters other
// than space, tab, line feed, vertical tab, form feed and carriage return)
// followed by "\r\n", and one more "\r\n" at the end.
std::string RewriteRecord(const std::string& strRecord);

// The text of the last connection failure for a receiver status.
std::string ConnectionErrorText(int iErrorCode);
