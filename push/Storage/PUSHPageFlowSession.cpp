// Page calls into a page flow; saving and resuming around inactivity.
#include "push/Storage/PUSHPageFlowSession.h"

#include <cmath>

#include "push/Utilities/PUSHLog.h"
#include "push/Utilities/PUSHUtilities.h"

std::shared_ptr<PUSHPageFlow> PUSHPageFlowSession::flowLocked()
{
    // Page calls may come before a session opened; they gather in a flow of their own.
    if (!currentFlow_)
        currentFlow_ = PUSHPageFlow::create();
    return currentFlow_;
}

void PUSHPageFlowSession::trySetupSession()
{
    std::lock_guard guard(lock_);
    setupSession();
    resumeLastFlow();
    resumePagesFromFileWithTime(startTime_);
}

void PUSHPageFlowSession::setupSession()
{
    std::lock_guard guard(lock_);
    if (isSetup_)
        return;
    flowLocked();
    startTime_ = PUSHServerTimestamp();
    isSetup_ = true;
}

void PUSHPageFlowSession::closeSession()
{
    std::lock_guard guard(lock_);
    currentFlow_ = nullptr;
    startTime_ = 0;
    isSetup_ = false;
}

void PUSHPageFlowSession::resumeLastFlow()
{
    std::lock_guard guard(lock_);
    if (currentFlow_)
        currentFlow_->readFromFile();
}

void PUSHPageFlowSession::resumePagesFromFileWithTime(double time)
{
    auto flow = flowLocked();
    if (tempPage_) {
        tempPage_->PFStart(time);
        tempPage_->setDuration(0);
        currentPage_ = tempPage_->copy();
    }
    for (const auto& page : tempFlow_) {
        page->PFStart(time);
        page->setDuration(0);
        flow->AddPage(page);
    }
    tempPage_ = nullptr;
    tempFlow_.clear();
}

void PUSHPageFlowSession::savePageFlowWithTime(double time)
{
    std::lock_guard guard(lock_);
    auto flow = flowLocked();
    tempPage_ = currentPage_;
    const auto unfinished = flow->tempFlow();
    tempFlow_.clear();
    for (const auto& page : unfinished)
        tempFlow_.push_back(page->copy());
    for (const auto& page : unfinished) {
        auto finished = page->copy();
        finished->PFStop(time);
        flow->AddPage(finished);
    }
    flow->setTempFlow({});
    if (currentPage_) {
        currentPage_->PFStop(time);
        flow->AddPage(currentPage_->copy());
    }
    flow->writeToFile();
}

void PUSHPageFlowSession::resetCurrentPage(double time)
{
    std::lock_guard guard(lock_);
    if (!currentPage_)
        return;
    currentPage_->setDuration(0);
    currentPage_->PFStart(time);
}

void PUSHPageFlowSession::setViewStart(const std::string& name)
{
    std::lock_guard guard(lock_);
    auto flow = flowLocked();
    if (currentPage_) {
        flow->AddPage(currentPage_->copy());
        currentPage_ = nullptr;
    }
    currentPage_ = PUSHPage::initWithName(name);
    currentPage_->PFStart(PUSHServerTimestamp());
}

void PUSHPageFlowSession::setViewStop(const std::string& name)
{
    std::lock_guard guard(lock_);
    auto flow = flowLocked();
    const double now = PUSHServerTimestamp();
    if (currentPage_ && currentPage_->pageName() == name) {
        currentPage_->PFStop(now);
        flow->AddPage(currentPage_);
        currentPage_ = nullptr;
        const auto unfinished = flow->tempFlow();
        if (!unfinished.empty())
            currentPage_ = flow->removeTempPageAt(unfinished.size() - 1);
        return;
    }
    const auto unfinished = flow->tempFlow();
    for (std::size_t i = 0; i < unfinished.size(); ++i) {
        if (unfinished[i]->pageName() != name)
            continue;
        auto page = flow->removeTempPageAt(i);
        page->PFStop(now);
        flow->AddPage(page->copy());
        return;
    }
    PUSHLogDebug("该页面已经被停止或者从未被开始");
    PUSHLogWarn("不存在要停止的页面");
}

void PUSHPageFlowSession::setViewLogSecond(const Value& nameAndSeconds)
{
    if (nameAndSeconds.count() < 2 || !nameAndSeconds.isArray()) {
        PUSHLogError("缺少页面Log时间或者页面的名称");
        return;
    }
    std::lock_guard guard(lock_);
    auto page = PUSHPage::initWithName(nameAndSeconds[0].stringValue());
    const double seconds = nameAndSeconds[1].doubleValue();
    page->setDuration(std::isfinite(seconds) && std::fabs(seconds) < 9.2e18 ? static_cast<std::int64_t>(seconds) : 0);
    flowLocked()->AddPage(page);
}

bool PUSHPageFlowSession::isSetup() const
{
    std::lock_guard guard(lock_);
    return isSetup_;
}

std::shared_ptr<PUSHPage> PUSHPageFlowSession::currentPage() const
{
    std::lock_guard guard(lock_);
    return currentPage_;
}

std::shared_ptr<PUSHPageFlow> PUSHPageFlowSession::currentFlow() const
{
    std::lock_guard guard(lock_);
    return currentFlow_;
}

double PUSHPageFlowSession::startTime() const
{
    std::lock_guard guard(lock_);
    return startTime_;
}
