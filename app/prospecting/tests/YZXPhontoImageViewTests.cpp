// The picture chooser: its sheet, the album and camera pickers by device, taking the original
// picture as a thumbnail, and cancelling.
#include "app/prospecting/YZXPhontoImageView.h"
#include "app/prospecting/tests/JZQunTestSupport.h"

namespace app::test {

namespace {

class QrChooser : public QrScreenTest {
protected:
    QrChooser()
    {
        owner = std::make_shared<UIViewController>();
        navigation->pushViewController(owner, false);
        chooser = YZXPhontoImageView::initWithFrame(CGRectMake(60, 7.5, 320, 30), owner);
        owner->view()->addSubview(chooser);
    }
    // Taps the chooser and answers the sheet with the button.
    std::shared_ptr<UIImagePickerController> openPicker(NSInteger button)
    {
        tapChooser();
        auto sheet = topSheet();
        if (!sheet)
            return nullptr;
        sheet->tapButtonAtIndex(button);
        waitFor([&] { return uikit::imagePicker::topPicker() && uikit::imagePicker::topPicker()->isOnScreen(); });
        return uikit::imagePicker::topPicker();
    }
    void tapChooser()
    {
        ASSERT_EQ(chooser->gestureRecognizers().size(), 1u);
        chooser->gestureRecognizers()[0]->fire(UIGestureRecognizerStateEnded);
    }
    std::shared_ptr<UIViewController> owner;
    std::shared_ptr<YZXPhontoImageView> chooser;
};

TEST_F(QrChooser, SheetOffersAlbumAndCameraAndCancelOpensNothing)
{
    EXPECT_FALSE(chooser->contentYes());
    EXPECT_TRUE(chooser->isUserInteractionEnabled());
    tapChooser();
    auto sheet = topSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "请上传身份证正面照");
    EXPECT_EQ(sheet->buttonTitles(), (std::vector<std::string> { "相册", "拍一张", "取消" }));

    sheet->tapButtonAtIndex(2);
    testing_support::settle(2);
    EXPECT_FALSE(owner->presentedViewController());
    EXPECT_FALSE(chooser->image());
    EXPECT_FALSE(chooser->contentYes());
}

TEST_F(QrChooser, AlbumPickGivesTheOriginalPictureAsThumbnail)
{
    auto picker = openPicker(0);
    ASSERT_TRUE(picker);
    EXPECT_EQ(owner->presentedViewController(), picker);
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
    EXPECT_FALSE(picker->allowsEditing());

    auto first = picture();
    ASSERT_TRUE(picker->pickImage(first));
    ASSERT_TRUE(waitFor([&] { return !owner->presentedViewController(); }));
    EXPECT_EQ(chooser->image(), first);
    EXPECT_TRUE(chooser->contentYes());
    const CGRect thumbnail = chooser->frame();

    // A second pick replaces the first; the thumbnail stays where it is.
    auto again = openPicker(0);
    ASSERT_TRUE(again);
    auto second = picture("sanjiao@2x.png");
    ASSERT_TRUE(again->pickImage(second));
    ASSERT_TRUE(waitFor([&] { return chooser->image() == second; }));
    EXPECT_EQ(chooser->frame(), thumbnail);

    // Cancelling a third picker keeps the picture.
    auto third = openPicker(0);
    ASSERT_TRUE(third);
    ASSERT_TRUE(third->cancel());
    ASSERT_TRUE(waitFor([&] { return !owner->presentedViewController(); }));
    EXPECT_EQ(chooser->image(), second);
    EXPECT_TRUE(chooser->contentYes());
}

TEST_F(QrChooser, CameraWhenThereIsOneElseTheAlbumBothWithEditing)
{
    uikit::album::setSourceAvailable(UIImagePickerControllerSourceTypeCamera, false);
    auto library = openPicker(1);
    ASSERT_TRUE(library);
    EXPECT_EQ(library->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
    EXPECT_TRUE(library->allowsEditing());

    // Editing was on, yet the original picture, not the crop, is kept.
    auto original = picture();
    ASSERT_TRUE(library->pickImage(original, CGRectMake(0, 0, 4, 4)));
    ASSERT_TRUE(waitFor([&] { return chooser->contentYes(); }));
    EXPECT_EQ(chooser->image(), original);
    ASSERT_TRUE(waitFor([&] { return !owner->presentedViewController(); }));

    uikit::album::setSourceAvailable(UIImagePickerControllerSourceTypeCamera, true);
    auto camera = openPicker(1);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->sourceType(), UIImagePickerControllerSourceTypeCamera);
    EXPECT_TRUE(camera->allowsEditing());
}

} // namespace

} // namespace app::test
