// Image responses: PNG and JPEG bodies come back redrawn in device RGB whatever their own colour
// space, at the serializer's scale.
#include "net/NKURLResponseSerialization.h"
#include "net/tests/NetTestSupport.h"
#include "platform/graphics/UIImage.h"
#include "testing/graphics/ImageFixtures.h"

using namespace net::test;

namespace {

std::shared_ptr<NSHTTPURLResponse> imageReply(const std::string& type)
{
    return NSHTTPURLResponse::create(
        NSURL::URLWithString("http://h/i"), 200, "HTTP/1.1", Value::dictionary({ { "Content-Type", Value(type) } }));
}

TEST(ImageResponseSerializer, EveryColourSpaceIsInflatedIntoDeviceRGB)
{
    struct Case {
        const char* name;
        const char* type;
        Bytes body;
        CGImageAlphaInfo alpha;
    };
    const Case cases[] = {
        { "grey", "image/png", fixtures::makePng(6, 4, { .colorType = 0 }), kCGImageAlphaNoneSkipFirst },
        { "grey with alpha", "image/png", fixtures::makePng(6, 4, { .colorType = 4 }),
            kCGImageAlphaPremultipliedFirst },
        { "palette", "image/png", fixtures::makePng(6, 4, { .colorType = 3 }), kCGImageAlphaNoneSkipFirst },
        { "palette with transparency", "image/png", fixtures::makePng(6, 4, { .colorType = 3, .transparency = true }),
            kCGImageAlphaPremultipliedFirst },
        { "RGBA", "image/png", fixtures::makePng(6, 4, { .colorType = 6 }), kCGImageAlphaPremultipliedFirst },
        { "grey JPEG", "image/jpeg", fixtures::makeJpeg(6, 4, { .components = 1 }), kCGImageAlphaNoneSkipFirst },
        { "CMYK JPEG", "image/jpeg", fixtures::makeJpeg(6, 4, { .components = 4 }), kCGImageAlphaNoneSkipFirst },
    };
    auto serializer = NKImageResponseSerializer::serializer();
    serializer->setImageScale(2);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorRef error;
        auto image = serializer->responseObjectForResponse(imageReply(c.type), &c.body, &error).asObject<UIImage>();
        ASSERT_TRUE(image);
        EXPECT_FALSE(error);
        EXPECT_EQ(image->scale(), 2);
        CGImageRef bitmap = image->CGImage();
        EXPECT_EQ(bitmap->width(), 6u);
        EXPECT_EQ(bitmap->height(), 4u);
        EXPECT_EQ(CGColorSpaceGetModel(bitmap->colorSpace()), kCGColorSpaceModelRGB);
        EXPECT_EQ(bitmap->alphaInfo(), c.alpha);
    }
}

} // namespace
