// Fuzz target: keyed-archive reading, with one archivable class registered.
#include <cstddef>
#include <cstdint>

#include "platform/persistence/NSKeyedArchiver.h"

namespace {

class FuzzNode : public NSObject, public NSCoding {
public:
    std::string className() const override { return "FuzzNode"; }
    void encodeWithCoder(NSCoder& coder) const override
    {
        coder.encodeObject(child, "child");
        coder.encodeInteger(number, "number");
    }
    bool initWithCoder(NSCoder& coder) override
    {
        child = coder.decodeObjectForKey("child");
        number = coder.decodeIntegerForKey("number");
        coder.decodeObjectOfClass<FuzzNode>("next");
        coder.decodeObjectOfClass("NSString", "name");
        return true;
    }
    Value child;
    std::int64_t number = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = [] {
        persistence::registerCodingClass<FuzzNode>("FuzzNode");
        return true;
    }();
    (void)registered;
    NSErrorRef error;
    Value value = NSKeyedUnarchiver::unarchiveObjectWithData(Bytes(data, data + size), &error);
    if (value.isAbsent() && !error && size > 0)
        return 0; // an archive of nil
    if (!value.isAbsent())
        NSKeyedArchiver::archivedDataWithRootObject(value);
    return 0;
}
