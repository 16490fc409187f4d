// Fuzz target: keyed archives of any bytes read back as the HTTP stack's archivable objects
// with secure coding; what is read is archived again. (Session managers, which start a URL
// session when read, are never made here: nothing read here asks for one.)
#include <cstddef>
#include <cstdint>

#include "net/NKCoding.h"
#include "platform/persistence/NSKeyedArchiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = [] {
        net::registerArchivableClasses();
        return true;
    }();
    (void)registered;
    Bytes bytes(data, data + size);
    for (const char* className : { "NKHTTPRequestOperationManager", "NKHTTPRequestOperation", "NKHTTPRequestSerializer",
             "NKHTTPResponseSerializer" }) {
        NSErrorRef error;
        Value object = NSKeyedUnarchiver::unarchivedObjectOfClass(className, bytes, &error);
        if (!object.isAbsent())
            NSKeyedArchiver::archivedDataWithRootObject(object);
    }
    return 0;
}
