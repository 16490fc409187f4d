// Fuzz target: keyed archives of any bytes read back as the HTTP stack's archivable objects
// with secure coding; what is read is archived again. Session managers are left out: reading
// one starts a URL session, which the session-manager tests cover.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/NKCoding.h"
#include "platform/persistence/NSKeyedArchiver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool registered = [] {
        net::registerArchivableClasses();
        return true;
    }();
    (void)registered;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.find("SessionManager") != std::string_view::npos)
        return 0;
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
