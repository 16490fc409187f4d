// A timed page.
#include "push/Storage/PUSHPage.h"

#include <cmath>

std::shared_ptr<PUSHPage> PUSHPage::initWithName(const std::string& name)
{
    auto page = std::make_shared<PUSHPage>();
    if (!name.empty())
        page->pageName_ = name;
    return page;
}

void PUSHPage::PFStop(double time)
{
    const double elapsed = time - startTime_;
    if (!(elapsed >= 1)) {
        duration_ = 1;
        return;
    }
    duration_ = elapsed >= 9.2e18 ? INT64_MAX : static_cast<std::int64_t>(std::trunc(elapsed));
}

std::shared_ptr<PUSHPage> PUSHPage::copy() const
{
    auto twin = std::make_shared<PUSHPage>();
    twin->startTime_ = startTime_;
    twin->duration_ = duration_;
    twin->pageName_ = pageName_;
    return twin;
}

void PUSHPage::encodeWithCoder(NSCoder& coder) const
{
    const double whole = std::trunc(startTime_);
    coder.encodeInt64(std::isfinite(whole) && std::fabs(whole) < 9.2e18 ? static_cast<std::int64_t>(whole) : 0, "StartTimeKey");
    coder.encodeInt64(duration_, "DurationKey");
    coder.encodeObject(Value(pageName_), "PageNameKey");
}

bool PUSHPage::initWithCoder(NSCoder& coder)
{
    startTime_ = static_cast<double>(coder.decodeInt64ForKey("StartTimeKey"));
    duration_ = coder.decodeInt64ForKey("DurationKey");
    const Value name = coder.decodeObjectForKey("PageNameKey");
    if (name.isString() && !name.asString().empty())
        pageName_ = name.asString();
    return true;
}
