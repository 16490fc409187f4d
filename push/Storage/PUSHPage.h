// One shown page (screen) of the application: its name, when it started on the server-corrected
// clock, and how long it was shown in whole seconds (0 while it is still shown). Archivable under
// "StartTimeKey", "DurationKey" and "PageNameKey".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/NSObject.h"
#include "platform/persistence/NSCoder.h"

class PUSHPage : public NSObject, public NSCoding {
public:
    // A page named "unknow" when the name is empty.
    static std::shared_ptr<PUSHPage> initWithName(const std::string& name);

    void PFStart(double time) { startTime_ = time; }
    // Stops the page at `time`. A stopped page is always finished: it counts at least one
    // second, also when the clock stepped back or was corrected since it started.
    void PFStop(double time);

    double startTime() const { return startTime_; }
    void setStartTime(double time) { startTime_ = time; }
    std::int64_t duration() const { return duration_; }
    void setDuration(std::int64_t seconds) { duration_ = seconds; }
    const std::string& pageName() const { return pageName_; }

    std::shared_ptr<PUSHPage> copy() const;
    std::string className() const override { return "PUSHPage"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    PUSHPage() = default;

private:
    double startTime_ = 0;
    std::int64_t duration_ = 0;
    std::string pageName_ = "unknow";
};
