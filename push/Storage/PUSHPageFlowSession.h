// Turns the application's page calls (start, stop, a page with a known duration) into the page
// flow of one report session, saves it when the application goes inactive and resumes the pages
// that were shown then. Times are on the server-corrected clock.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "push/Storage/PUSHPageFlow.h"

class PUSHPageFlowSession : public NSObject {
public:
    static std::shared_ptr<PUSHPageFlowSession> create() { return std::make_shared<PUSHPageFlowSession>(); }

    // At the client's start: open the session, take the saved flow back, resume saved pages.
    void trySetupSession();
    void setupSession();
    void closeSession();
    void resumeLastFlow();
    // The application goes inactive: finish the shown pages at `time` and save the flow.
    void savePageFlowWithTime(double time);
    // The application is active again: the current page restarts at `time`.
    void resetCurrentPage(double time);

    void setViewStart(const std::string& name);
    void setViewStop(const std::string& name);
    // [name, seconds]: a page with a known duration.
    void setViewLogSecond(const Value& nameAndSeconds);

    bool isSetup() const;
    std::shared_ptr<PUSHPage> currentPage() const;
    std::shared_ptr<PUSHPageFlow> currentFlow() const;
    double startTime() const;
    std::string className() const override { return "PUSHPageFlowSession"; }

    PUSHPageFlowSession() = default;

private:
    void resumePagesFromFileWithTime(double time);
    std::shared_ptr<PUSHPageFlow> flowLocked();

    mutable std::recursive_mutex lock_;
    bool isSetup_ = false;
    std::shared_ptr<PUSHPage> currentPage_;
    std::shared_ptr<PUSHPageFlow> currentFlow_;
    double startTime_ = 0;
    std::shared_ptr<PUSHPage> tempPage_;
    std::vector<std::shared_ptr<PUSHPage>> tempFlow_;
};
