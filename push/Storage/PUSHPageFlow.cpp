// Finished and unfinished pages of one report session.
#include "push/Storage/PUSHPageFlow.h"

#include "push/Storage/PUSHFileCacheController.h"
#include "push/Utilities/PUSHLog.h"

void PUSHPageFlow::AddPage(const std::shared_ptr<PUSHPage>& page)
{
    if (!page)
        return;
    std::lock_guard guard(lock_);
    if (page->duration() == 0) {
        tempFlow_.push_back(page);
        return;
    }
    pageFlow_.append(Value::dictionary({ { page->pageName(), Value(page->duration()) } }));
    PUSHLogInfo("添加页面成功");
}

void PUSHPageFlow::writeToFile() const
{
    if (auto cache = PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache))
        cache->setObject(pageFlow(), kPUSHPFLastFlowKey);
}

bool PUSHPageFlow::readFromFile()
{
    auto cache = PUSHFileCacheController::shareInstanceWithType(PUSHFileCacheTypeCache);
    if (!cache || !cache->hasObjectForKey(kPUSHPFLastFlowKey))
        return false;
    const Value saved = cache->objectForKey(kPUSHPFLastFlowKey);
    cache->removeObjectForKey(kPUSHPFLastFlowKey);
    if (saved.isArray())
        setPageFlow(saved);
    return true;
}

void PUSHPageFlow::clearFlow()
{
    std::lock_guard guard(lock_);
    pageFlow_ = Value::array();
    tempFlow_.clear();
}

Value PUSHPageFlow::pageFlow() const
{
    std::lock_guard guard(lock_);
    return pageFlow_;
}

void PUSHPageFlow::setPageFlow(const Value& flow)
{
    std::lock_guard guard(lock_);
    pageFlow_ = flow.isArray() ? flow : Value::array();
}

std::vector<std::shared_ptr<PUSHPage>> PUSHPageFlow::tempFlow() const
{
    std::lock_guard guard(lock_);
    return tempFlow_;
}

void PUSHPageFlow::setTempFlow(std::vector<std::shared_ptr<PUSHPage>> pages)
{
    std::lock_guard guard(lock_);
    tempFlow_ = std::move(pages);
}

std::shared_ptr<PUSHPage> PUSHPageFlow::removeTempPageAt(std::size_t index)
{
    std::lock_guard guard(lock_);
    if (index >= tempFlow_.size())
        return nullptr;
    auto page = tempFlow_[index];
    tempFlow_.erase(tempFlow_.begin() + static_cast<std::ptrdiff_t>(index));
    return page;
}

std::shared_ptr<PUSHPageFlow> PUSHPageFlow::copy() const
{
    std::lock_guard guard(lock_);
    auto twin = create();
    twin->pageFlow_ = pageFlow_;
    twin->tempFlow_ = tempFlow_;
    twin->duration_ = duration_;
    twin->reportDays_ = reportDays_;
    twin->reportTime_ = reportTime_;
    return twin;
}

void PUSHPageFlow::encodeWithCoder(NSCoder& coder) const
{
    std::lock_guard guard(lock_);
    Value::Array pages;
    for (const auto& page : tempFlow_)
        pages.push_back(Value(page));
    coder.encodeObject(pageFlow_, "pageFlow");
    coder.encodeObject(Value(std::move(pages)), "tempFlow");
    coder.encodeObject(Value(reportDays_), "reportDays");
    coder.encodeObject(Value(reportTime_), "reportTime");
    coder.encodeInteger(static_cast<std::int64_t>(duration_), "duration");
}

bool PUSHPageFlow::initWithCoder(NSCoder& coder)
{
    std::lock_guard guard(lock_);
    const Value flow = coder.decodeObjectForKey("pageFlow");
    pageFlow_ = flow.isArray() ? flow : Value::array();
    tempFlow_.clear();
    for (const auto& entry : coder.decodeObjectForKey("tempFlow").asArray()) {
        if (auto page = entry.asObject<PUSHPage>())
            tempFlow_.push_back(page);
    }
    reportDays_ = coder.decodeObjectForKey("reportDays").asString();
    reportTime_ = coder.decodeObjectForKey("reportTime").asString();
    duration_ = static_cast<std::uint64_t>(coder.decodeIntegerForKey("duration"));
    return true;
}
