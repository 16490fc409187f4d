// Loading into image views through the shared manager: placeholder then image, a newer load
// cancelling the older, nil URLs, the avoid-set and delay-placeholder options, a view released
// mid-load, annotation views and the old names.
#include <atomic>
#include "image/MKAnnotationView+WebCache.h"
#include "image/UIButton+WebCache.h"
#include "image/UIImageView+WebCache.h"
#include "image/WebCacheDeprecated.h"
#include "image/WIImageManager.h"
#include "image/tests/ImageTestSupport.h"

using httpserver::Gate;
using httpserver::Reply;

namespace {
class WIImageViewLoadingTest : public image_test::ServerTest {
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        view = std::make_shared<UIImageView>(nullptr);
        WIImageManager::sharedManager()->imageCache()->clearMemory();
    }
    void TearDown() override
    {
        WIImageManager::sharedManager()->cancelAll();
        testing_support::settle(1);
    }
    static double pixelWidth(const UIImageRef& image) { return image ? image->size().width * image->scale() : 0; }
    std::shared_ptr<UIImageView> view;
    UIImageRef placeholder = image_test::makeImage(1, 1, true);
};
} // namespace

TEST_F(WIImageViewLoadingTest, PlaceholderFirstThenTheImageEvenWhenTheSameURLIsSetTwice)
{
    auto gate = heldImage("/tile.png", 9);
    wi_setImageWithURL(view, url("/tile.png"), placeholder);
    ASSERT_TRUE(image_test::waitFor([&] { return server.requestCount("/tile.png") == 1; }));
    bool done = false;
    wi_setImageWithURL(view, url("/tile.png"), placeholder, 0, {},
        [&](UIImageRef image, std::shared_ptr<NSError> error, WICacheSource source, std::optional<NSURL> imageURL) {
            done = true;
            EXPECT_TRUE(image);
            EXPECT_FALSE(error);
            EXPECT_EQ(source, WICacheSourceNone);
            EXPECT_EQ(imageURL->absoluteString(), server.url("/tile.png"));
        });
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(wi_imageURL(view)->absoluteString(), server.url("/tile.png"));
    gate->open();
    ASSERT_TRUE(image_test::waitFor([&] { return done; }));
    EXPECT_EQ(pixelWidth(view->image()), 9);
}

TEST_F(WIImageViewLoadingTest, ANewerLoadCancelsTheOlder)
{
    auto gate = heldImage("/first.png", 8);
    server.on("/second.png", image_test::imageReply(image_test::pngBody(12, 12)));
    std::atomic<int> firstCalls { 0 };
    bool secondDone = false;
    wi_setImageWithURL(view, url("/first.png"), placeholder, [&](auto, auto, auto, auto) { ++firstCalls; });
    ASSERT_TRUE(image_test::waitFor([&] { return server.requestCount("/first.png") == 1; }));
    wi_setImageWithURL(view, url("/second.png"), placeholder, [&](auto, auto, auto, auto) { secondDone = true; });
    ASSERT_TRUE(image_test::waitFor([&] { return secondDone; }));
    gate->open();
    testing_support::settle(0.5);
    EXPECT_EQ(pixelWidth(view->image()), 12);
    EXPECT_EQ(firstCalls, 0);
}

TEST_F(WIImageViewLoadingTest, NilURLShowsThePlaceholderAndReportsTheError)
{
    server.on("/before.png", image_test::imageReply(image_test::pngBody(3, 3)));
    wi_setImageWithURL(view, url("/before.png"), nullptr);
    std::shared_ptr<NSError> error;
    bool called = false;
    wi_setImageWithURL(view, std::nullopt, placeholder, [&](UIImageRef image, std::shared_ptr<NSError> failure, auto, auto) {
        called = true;
        error = failure;
        EXPECT_FALSE(image);
    });
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_FALSE(wi_imageURL(view));
    ASSERT_TRUE(called);
    EXPECT_EQ(error->domain(), WIImageErrorDomain);
    EXPECT_EQ(error->code(), -1);
    EXPECT_EQ(error->userInfo()[NSLocalizedDescriptionKey].asString(), "Trying to load a nil url");
    testing_support::settle(0.3);
    EXPECT_EQ(view->image(), placeholder);
}

TEST_F(WIImageViewLoadingTest, AvoidAutoSetLeavesTheImageToTheCompletionAndADelayedPlaceholderWaitsForFailure)
{
    server.on("/avoid.png", image_test::imageReply(image_test::pngBody(5, 5)));
    UIImageRef handed;
    wi_setImageWithURL(view, url("/avoid.png"), placeholder, WILoadAvoidAutoSetImage, {},
        [&](UIImageRef image, auto, auto, auto) { handed = image; });
    ASSERT_TRUE(image_test::waitFor([&] { return handed != nullptr; }));
    EXPECT_EQ(view->image(), placeholder);
    // Without a completion the image is set anyway.
    auto other = std::make_shared<UIImageView>(nullptr);
    wi_setImageWithURL(other, url("/avoid.png"), placeholder, WILoadAvoidAutoSetImage);
    EXPECT_EQ(pixelWidth(other->image()), 5);
    server.on("/broken.png", Reply::text("no", 500));
    auto delayed = std::make_shared<UIImageView>(nullptr);
    std::shared_ptr<NSError> error;
    wi_setImageWithURL(delayed, url("/broken.png"), placeholder, WILoadDelayPlaceholder, {},
        [&](UIImageRef, std::shared_ptr<NSError> failure, auto, auto) { error = failure; });
    EXPECT_FALSE(delayed->image());
    ASSERT_TRUE(image_test::waitFor([&] { return error != nullptr; }));
    EXPECT_EQ(error->code(), 500);
    EXPECT_EQ(delayed->image(), placeholder);
}

TEST_F(WIImageViewLoadingTest, AReleasedViewIsNotTouched)
{
    auto gate = heldImage("/orphan.png", 4);
    std::atomic<int> calls { 0 };
    wi_setImageWithURL(view, url("/orphan.png"), placeholder, [&](auto, auto, auto, auto) { ++calls; });
    ASSERT_TRUE(image_test::waitFor([&] { return server.requestCount("/orphan.png") == 1; }));
    view.reset();
    gate->open();
    ASSERT_TRUE(image_test::waitFor([] { return !WIImageManager::sharedManager()->isRunning(); }));
    EXPECT_EQ(calls, 0);
}

TEST_F(WIImageViewLoadingTest, ButtonStatesLoadIndependently)
{
    auto gate = heldImage("/normal.png", 7);
    server.on("/pressed.png", image_test::imageReply(image_test::pngBody(5, 5)));
    server.on("/back.png", image_test::imageReply(image_test::pngBody(3, 3)));
    auto button = UIButton::create();
    bool normalDone = false;
    wi_setImageWithURL(button, url("/normal.png"), UIControlStateNormal, placeholder, 0,
        [&](auto, auto, auto, auto) { normalDone = true; });
    EXPECT_EQ(button->imageForState(UIControlStateNormal), placeholder);
    wi_setImageWithURL(button, url("/pressed.png"), UIControlStateHighlighted);
    wi_setBackgroundImageWithURL(button, url("/back.png"), UIControlStateNormal);
    ASSERT_TRUE(image_test::waitFor([&] {
        return pixelWidth(button->imageForState(UIControlStateHighlighted)) == 5
            && pixelWidth(button->backgroundImageForState(UIControlStateNormal)) == 3;
    }));
    gate->open();
    ASSERT_TRUE(image_test::waitFor([&] { return normalDone; }));
    EXPECT_EQ(pixelWidth(button->imageForState(UIControlStateNormal)), 7);
    // The selected state has no URL of its own: the normal one stands in.
    button->setSelected(true);
    EXPECT_EQ(wi_currentImageURL(button)->absoluteString(), server.url("/normal.png"));
    std::shared_ptr<NSError> error;
    wi_setImageWithURL(button, std::nullopt, UIControlStateHighlighted, nullptr, 0,
        [&](auto, std::shared_ptr<NSError> failure, auto, auto) { error = failure; });
    EXPECT_FALSE(wi_imageURLForState(button, UIControlStateHighlighted));
    ASSERT_TRUE(image_test::waitFor([&] { return error != nullptr; }));
    EXPECT_EQ(error->code(), -1);
}

TEST_F(WIImageViewLoadingTest, AnnotationViewsShowThePlaceholderThenAlwaysSetTheImage)
{
    auto gate = heldImage("/pin.png", 8);
    auto pin = MKAnnotationView::create();
    // The avoid-set option does not keep the image out of an annotation view.
    UIImageRef handed;
    wi_setImageWithURL(pin, url("/pin.png"), placeholder, WILoadAvoidAutoSetImage,
        [&](UIImageRef image, auto, auto, auto) { handed = image; });
    EXPECT_EQ(pin->image(), placeholder);
    EXPECT_EQ(wi_imageURL(pin)->absoluteString(), server.url("/pin.png"));
    gate->open();
    ASSERT_TRUE(image_test::waitFor([&] { return handed != nullptr; }));
    EXPECT_EQ(pin->image(), handed);
    EXPECT_EQ(pin->bounds().size.width * handed->scale(), 8);
}

TEST_F(WIImageViewLoadingTest, OldNamesForwardAndAMissingCompletionStillCountsAsGiven)
{
    server.on("/old.png", image_test::imageReply(image_test::pngBody(5, 5)));
    // The old image-view call passes no completion on as one that does nothing, so the
    // avoid-set option keeps the placeholder.
    setImageWithURL(view, url("/old.png"), placeholder, WILoadAvoidAutoSetImage, WILegacyCompletion {});
    ASSERT_TRUE(image_test::waitFor([] { return !WIImageManager::sharedManager()->isRunning(); }));
    testing_support::settle(0.1);
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(imageURL(view)->absoluteString(), server.url("/old.png"));
    // A button's old cancel stops the load of its current state only.
    auto gate = heldImage("/held.png", 7);
    auto button = UIButton::create();
    std::atomic<int> normalCalls { 0 }, selectedCalls { 0 };
    setImageWithURL(button, url("/held.png"), UIControlStateNormal, [&](auto, auto, auto) { ++normalCalls; });
    setImageWithURL(button, url("/held.png"), UIControlStateSelected, [&](auto, auto, auto) { ++selectedCalls; });
    EXPECT_EQ(currentImageURL(button)->absoluteString(), server.url("/held.png"));
    cancelCurrentImageLoad(button);
    gate->open();
    ASSERT_TRUE(image_test::waitFor([&] { return selectedCalls == 1; }));
    testing_support::settle(0.2);
    EXPECT_EQ(normalCalls, 0);
    EXPECT_EQ(contentTypeForImageData(Bytes { 0x89, 'P' }), "image/png");
}
