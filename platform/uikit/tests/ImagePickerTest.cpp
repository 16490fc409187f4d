// Image pickers: source availability, presentation and the registry, the scripted person's
// picks (with and without editing) and cancels.
#include "Fixture.h"

#include "platform/persistence/AppHome.h"
#include "platform/uikit/UIImagePickerController.h"
#include "testing/TempHome.h"

namespace {

struct Chooser : UIImagePickerControllerDelegate {
    std::vector<Value> picks;
    bool dismissOnPick = true;
    void imagePickerControllerDidFinishPickingMediaWithInfo(const std::shared_ptr<UIImagePickerController>& picker, const Value& info) override
    {
        picks.push_back(info);
        if (dismissOnPick)
            picker->dismissViewControllerAnimated(true);
    }
};

class PickerTest : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        uikit::album::reset();
        uikit::imagePicker::reset();
        screen = std::make_shared<UIViewController>();
        window->setRootViewController(screen);
        chooser = std::make_shared<Chooser>();
    }
    void TearDown() override
    {
        UIKitTest::TearDown();
        uikit::album::reset();
        uikit::imagePicker::reset();
    }
    // A PNG of `width` x `height` pixels in the album folder.
    std::string albumImage(const std::string& name, double width, double height)
    {
        std::string path = persistence::appendPathComponent(uikit::album::folder(), name);
        EXPECT_TRUE(graphics::writePngFile(solidImage({ width, height }, 1, 0, 0)->CGImage(), path));
        return path;
    }
    std::shared_ptr<UIImagePickerController> present(bool editing = false)
    {
        auto picker = UIImagePickerController::create();
        picker->setAllowsEditing(editing);
        picker->setDelegate(chooser);
        screen->presentViewController(picker, true);
        return picker;
    }
    testing_support::TempHome home;
    std::shared_ptr<UIViewController> screen;
    std::shared_ptr<Chooser> chooser;
};

TEST_F(PickerTest, TheCameraIsOfferedOnlyWhenTheDeviceHasOne)
{
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypePhotoLibrary));
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    EXPECT_TRUE(UIImagePickerController::availableMediaTypesForSourceType(UIImagePickerControllerSourceTypeCamera).empty());
    auto picker = UIImagePickerController::create();
    EXPECT_FALSE(picker->setSourceType(UIImagePickerControllerSourceTypeCamera));
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
    EXPECT_EQ(picker->topViewController()->title(), "Photos");
    uikit::album::setSourceAvailable(UIImagePickerControllerSourceTypeCamera, true);
    EXPECT_TRUE(picker->setSourceType(UIImagePickerControllerSourceTypeCamera));
    EXPECT_EQ(picker->topViewController()->title(), "Camera");
    EXPECT_EQ(UIImagePickerController::availableMediaTypesForSourceType(UIImagePickerControllerSourceTypeCamera),
        (std::vector<std::string> { "public.image" }));
}

TEST_F(PickerTest, APickFromTheAlbumReachesTheDelegateWithTheOriginalImage)
{
    albumImage("IMG_0001.png", 40, 20);
    auto picker = UIImagePickerController::create();
    picker->setDelegate(chooser);
    EXPECT_FALSE(picker->pickAlbumImageNamed("IMG_0001.png")) << "a picker not on screen takes no answer";
    EXPECT_TRUE(uikit::imagePicker::visiblePickers().empty());

    screen->presentViewController(picker, true);
    EXPECT_EQ(uikit::imagePicker::topPicker(), picker);
    EXPECT_TRUE(picker->view()->isDescendantOfView(window.get()));
    EXPECT_FALSE(picker->pickAlbumImageNamed("missing.png"));
    EXPECT_TRUE(chooser->picks.empty());

    ASSERT_TRUE(picker->pickAlbumImageNamed("IMG_0001.png"));
    ASSERT_EQ(chooser->picks.size(), 1u);
    const Value& info = chooser->picks[0];
    auto original = info[UIImagePickerControllerOriginalImage].asObject<UIImage>();
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(original->size(), (CGSize { 40, 20 }));
    EXPECT_EQ(info[UIImagePickerControllerMediaType].stringValue(), "public.image");
    EXPECT_FALSE(info.contains(UIImagePickerControllerEditedImage)) << "no edited image without editing";
    EXPECT_EQ(screen->presentedViewController(), nullptr) << "the delegate dismissed it";
    EXPECT_EQ(uikit::imagePicker::topPicker(), nullptr);
    EXPECT_FALSE(picker->pickAlbumImageNamed("IMG_0001.png"));
}

TEST_F(PickerTest, EditingAddsTheCroppedImage)
{
    std::string path = albumImage("wide.png", 40, 20);
    chooser->dismissOnPick = false;
    auto picker = present(true);
    ASSERT_TRUE(picker->pickImageAtPath(path));
    auto edited = chooser->picks[0][UIImagePickerControllerEditedImage].asObject<UIImage>();
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->size(), (CGSize { 20, 20 })) << "the middle square by default";
    EXPECT_EQ(CGRectFromValue(chooser->picks[0][UIImagePickerControllerCropRect]), (CGRect { { 10, 0 }, { 20, 20 } }));
    EXPECT_EQ(chooser->picks[0][UIImagePickerControllerOriginalImage].asObject<UIImage>()->size(), (CGSize { 40, 20 }));

    ASSERT_TRUE(picker->pickImageAtPath(path, CGRect { { 30, 10 }, { 50, 50 } }));
    EXPECT_EQ(CGRectFromValue(chooser->picks[1][UIImagePickerControllerCropRect]), (CGRect { { 30, 10 }, { 10, 10 } }))
        << "a crop past the edges is cut to the image";
    ASSERT_TRUE(picker->pickImageAtPath(path, CGRect { { 100, 100 }, { 5, 5 } }));
    EXPECT_EQ(CGRectFromValue(chooser->picks[2][UIImagePickerControllerCropRect]).size, (CGSize { 20, 20 }))
        << "a crop outside the image falls back to the middle square";
    EXPECT_TRUE(picker->isOnScreen()) << "the picker stays until its delegate dismisses it";
}

TEST_F(PickerTest, CancellingDismissesThePickerUnlessTheDelegateTakesOver)
{
    auto picker = present();
    ASSERT_TRUE(picker->cancel());
    EXPECT_TRUE(chooser->picks.empty());
    EXPECT_EQ(screen->presentedViewController(), nullptr) << "by default a cancel dismisses the picker";
    EXPECT_FALSE(picker->cancel());

    struct Keeper : UIImagePickerControllerDelegate {
        int cancels = 0;
        void imagePickerControllerDidCancel(const std::shared_ptr<UIImagePickerController>&) override { ++cancels; }
    };
    auto keeper = std::make_shared<Keeper>();
    auto second = UIImagePickerController::create();
    second->setDelegate(keeper);
    screen->presentViewController(second, false);
    // The picker's own Cancel button answers the same way.
    second->topViewController()->navigationItem()->rightBarButtonItem()->performAction();
    EXPECT_EQ(keeper->cancels, 1);
    EXPECT_EQ(screen->presentedViewController(), second);
    EXPECT_EQ(uikit::imagePicker::visiblePickers().size(), 1u);
    screen->dismissViewControllerAnimated(false);
    EXPECT_TRUE(uikit::imagePicker::visiblePickers().empty());
}

} // namespace
