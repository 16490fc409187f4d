// Finding, counting and adding crash records.
#include "push/Crash/PUSHCrashLog.h"

#include <cstdint>
#include <limits>

namespace push_crash {

namespace {

bool sameCrash(const Value& record, const std::string& trace, const std::string& message)
{
    if (!record.isArray() || record.count() < 2)
        return false;
    const Value& fields = record[0];
    const Value& oldTrace = record[1];
    if (!fields.isDictionary() || !oldTrace.isString() || !fields["message"].isString())
        return false;
    return oldTrace.asString() == trace && fields["message"].asString() == message;
}

} // namespace

Value crashLogFromStored(const Value& stored)
{
    return stored.isArray() ? stored : Value::array();
}

bool addOccurrence(Value& log, const std::string& trace, const std::string& message)
{
    auto* records = log.mutableArray();
    if (!records)
        return false;
    for (Value& record : *records) {
        if (!sameCrash(record, trace, message))
            continue;
        Value& fields = (*record.mutableArray())[0];
        const std::int64_t count = fields["count"].integerValue();
        const std::int64_t raised
            = count < 1 ? 2 : (count == std::numeric_limits<std::int64_t>::max() ? count : count + 1);
        fields.set("count", Value(raised));
        return true;
    }
    return false;
}

void addRecord(Value& log, Value fields, const std::string& trace)
{
    if (!log.isArray())
        log = Value::array();
    log.append(Value::array({ std::move(fields), Value(trace) }));
}

} // namespace push_crash
