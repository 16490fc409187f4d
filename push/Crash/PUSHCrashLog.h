// The crash log kept under "__PUSHCrashLog" in the plain file cache: a list of distinct records,
// each [fields, trace], where fields hold "message" and "count" among others. A record is the
// same crash when its trace and its message are the same texts.
#pragma once

#include <string>

#include "platform/foundation/Value.h"

namespace push_crash {

// The stored log as a list to add to: the stored list, or an empty one for anything else.
Value crashLogFromStored(const Value& stored);
// Raises the count of the record for this crash by one; false when there is none (malformed
// records never match).
bool addOccurrence(Value& log, const std::string& trace, const std::string& message);
// Adds a new record.
void addRecord(Value& log, Value fields, const std::string& trace);

} // namespace push_crash
