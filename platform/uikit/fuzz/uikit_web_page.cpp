// Fuzz target: a web page laid out, drawn and hit-tested for links, from arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/uikit/WebDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view html(reinterpret_cast<const char*>(data), size);
    uikit::web::WebDocument document(html, NSURL::URLWithString("http://127.0.0.1/page/index.html"), nullptr);
    document.layout(320, 480);
    static auto context = CGBitmapContextCreate(nullptr, 320, 240, 8, 0, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaPremultipliedFirst);
    document.draw(context, { { 0, 0 }, { 320, 240 } });
    document.linkAt({ 20, 20 });
    return 0;
}
