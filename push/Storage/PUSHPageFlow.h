// The pages seen during one report session: finished pages as one-entry dictionaries
// {page name: seconds shown}, and the pages still shown (unfinished). The finished pages are
// saved in the plain file cache under "__PUSHPFLastFlow" and read back once at the next start.
// Archivable under "pageFlow", "tempFlow", "reportDays", "reportTime" and "duration".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"
#include "platform/persistence/NSCoder.h"
#include "push/Storage/PUSHPage.h"

inline constexpr const char* kPUSHPFLastFlowKey = "__PUSHPFLastFlow";

class PUSHPageFlow : public NSObject, public NSCoding {
public:
    static std::shared_ptr<PUSHPageFlow> create() { return std::make_shared<PUSHPageFlow>(); }

    // A page with a duration joins the finished pages; one without joins the unfinished ones.
    void AddPage(const std::shared_ptr<PUSHPage>& page);
    // Saves the finished pages in the plain file cache.
    void writeToFile() const;
    // Takes the saved finished pages out of the plain file cache; false when there were none.
    bool readFromFile();
    void clearFlow();

    Value pageFlow() const;
    void setPageFlow(const Value& flow);
    std::vector<std::shared_ptr<PUSHPage>> tempFlow() const;
    void setTempFlow(std::vector<std::shared_ptr<PUSHPage>> pages);
    // Takes out the unfinished page at `index`; nullptr when there is none.
    std::shared_ptr<PUSHPage> removeTempPageAt(std::size_t index);

    std::shared_ptr<PUSHPageFlow> copy() const;
    std::string className() const override { return "PUSHPageFlow"; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    PUSHPageFlow() = default;

private:
    mutable std::mutex lock_;
    Value pageFlow_ = Value::array();
    std::vector<std::shared_ptr<PUSHPage>> tempFlow_;
    std::uint64_t duration_ = 0;
    std::string reportDays_;
    std::string reportTime_;
};
