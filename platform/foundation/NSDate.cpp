// NSDate (see NSDate.h).
#include "platform/foundation/NSDate.h"

#include "platform/foundation/Clock.h"

NSDate NSDate::date()
{
    return NSDate(foundation::clock::now());
}

NSDate NSDate::dateWithTimeIntervalSinceNow(NSTimeInterval seconds)
{
    return NSDate(foundation::clock::now() + seconds);
}

NSDate NSDate::distantPast()
{
    return NSDate(-62135596800.0); // 0001-01-01 00:00:00 UTC
}

NSDate NSDate::distantFuture()
{
    return NSDate(64092211200.0); // 4001-01-01 00:00:00 UTC
}

NSTimeInterval NSDate::timeIntervalSinceNow() const
{
    return seconds_ - foundation::clock::now();
}
