// The input toolbar and the keyboard manager's automatic toolbars: what each input gets when it
// begins editing, the buttons' effects, tint and captions, and the application-wide appearance.
#include "ui/tests/KBFixture.h"

#include "ui/KBToolbarAddition.h"

using kbtest::KeyboardTest;

namespace {

std::shared_ptr<KBToolbar> toolbarOf(const UIView& input)
{
    return std::dynamic_pointer_cast<KBToolbar>(input.inputAccessoryView());
}

std::shared_ptr<KBTitleBarButtonItem> captionOf(const KBToolbar& toolbar)
{
    for (const auto& item : toolbar.items()) {
        if (auto caption = std::dynamic_pointer_cast<KBTitleBarButtonItem>(item))
            return caption;
    }
    return nullptr;
}

// A field that never takes editing from another.
class RefusingField : public UITextField {
public:
    using UITextField::UITextField;
    bool becomeFirstResponder() override { return false; }
};

class AutoToolbarTest : public KeyboardTest {
protected:
    void SetUp() override
    {
        KeyboardTest::SetUp();
        manager->setEnableAutoToolbar(true);
    }
    // Three fields top to bottom, with placeholders "one", "two", "three".
    std::vector<std::shared_ptr<UITextField>> threeFields()
    {
        std::vector<std::shared_ptr<UITextField>> fields;
        const char* names[] = { "one", "two", "three" };
        for (int i = 0; i < 3; ++i) {
            fields.push_back(addField(screen, CGRectMake(20, 100 + 50 * i, 280, 30)));
            fields.back()->setPlaceholder(names[i]);
        }
        return fields;
    }
};

} // namespace

TEST(KBToolbarTest, BuildersCaptionsTintAndArrowsOnInputsOnly)
{
    auto toolbar = KBToolbar::create(CGRectMake(0, 0, 320, 100));
    EXPECT_DOUBLE_EQ(toolbar->frame().size.height, 44) << "44 whatever frame it is made with";

    auto field = UITextField::create(CGRectMake(0, 0, 200, 30));
    field->setPlaceholder("Name");
    field->setKeyboardAppearance(UIKeyboardAppearanceDark);
    auto built = kb::addPreviousNextDoneOnKeyboard(*field, {}, {}, {}, kb::ShowPlaceholder { true });
    ASSERT_TRUE(built);
    EXPECT_EQ(field->inputAccessoryView(), built);
    EXPECT_EQ(built->barStyle(), UIBarStyleBlack);
    ASSERT_EQ(built->items().size(), 6u);
    EXPECT_EQ(built->items()[5]->systemItem(), UIBarButtonSystemItemDone);
    auto caption = captionOf(*built);
    ASSERT_TRUE(caption);
    EXPECT_EQ(caption->titleLabel()->text(), "Name");
    EXPECT_FALSE(caption->isEnabled()) << "a caption, not a button";
    EXPECT_DOUBLE_EQ(built->frame().size.width, 320) << "a new toolbar is as wide as the screen";
    EXPECT_DOUBLE_EQ(caption->titleView()->frame().size.width, 320 - (72.5 + 50 + 16));
    kb::setEnablePrevious(*field, false, true);
    EXPECT_FALSE(built->items()[0]->isEnabled());
    EXPECT_TRUE(built->items()[2]->isEnabled());
    built->setTintColor(UIColor::redColor());
    for (const auto& item : built->items())
        EXPECT_EQ(item->tintColor(), UIColor::redColor()) << "every item, the caption included";

    kb::setShouldHideTitle(*field, true);
    auto done = kb::addDoneOnKeyboard(*field, {}, kb::ShowPlaceholder { true });
    EXPECT_EQ(captionOf(*done)->titleLabel()->text(), "");
    EXPECT_DOUBLE_EQ(captionOf(*done)->titleView()->frame().size.width, 320 - (64 + 12));
    kb::setShouldHideTitle(*field, false);
    EXPECT_EQ(captionOf(*done)->titleLabel()->text(), "Name") << "shown on the existing toolbar at once";
    kb::setEnablePrevious(*field, false, false);
    EXPECT_TRUE(done->items().back()->isEnabled()) << "the Done toolbar has no arrows to enable";
    EXPECT_EQ(kb::addPreviousNextRightOnKeyboard(*field, "Go", {}, {}, {})->items()[5]->title(), "Go");

    // A plain view takes no toolbar from any builder.
    auto plain = UIView::create();
    EXPECT_FALSE(kb::addDoneOnKeyboard(*plain, {}));
    EXPECT_FALSE(kb::addCancelDoneOnKeyboard(*plain, {}, {}, "x"));
    EXPECT_FALSE(plain->inputAccessoryView());
}

TEST(KBToolbarTest, ApplicationWideBarAppearanceDoesNotReachInputToolbars)
{
    UIToolbar::appearance().barTintColor = UIColor::redColor();
    UIToolbar::appearance().tintColor = UIColor::redColor();
    UIBarButtonItem::appearance().tintColor = UIColor::greenColor();
    auto window = UIWindow::create();

    auto plain = UIToolbar::create();
    auto input = KBToolbar::create();
    window->addSubview(plain);
    window->addSubview(input);
    EXPECT_EQ(plain->barTintColor(), UIColor::redColor());
    EXPECT_EQ(plain->tintColor(), UIColor::redColor());
    EXPECT_EQ(input->barTintColor(), std::nullopt);
    EXPECT_EQ(input->tintColor(), UIColor::blackColor());
    EXPECT_EQ(UIBarButtonItem::initWithTitle("a", UIBarButtonItemStylePlain, {})->tintColor(), UIColor::greenColor());
    EXPECT_EQ(KBBarButtonItem::initWithTitle("a", UIBarButtonItemStylePlain, {})->tintColor(), std::nullopt);

    // What was set on the input classes themselves is cleared when they load.
    KBToolbar::appearance().barTintColor = UIColor::blueColor();
    KBBarButtonItem::appearance().tintColor = UIColor::blueColor();
    KBToolbar::load();
    KBBarButtonItem::load();
    EXPECT_EQ(input->barTintColor(), std::nullopt);
    EXPECT_EQ(KBTitleBarButtonItem::initWithFrame(CGRectMake(0, 0, 100, 44), "t")->tintColor(), std::nullopt);

    UIToolbar::appearance() = {};
    UIBarButtonItem::appearance() = {};
}

TEST_F(AutoToolbarTest, EachFieldGetsArrowsEnabledByPositionAndItsPlaceholderAsTitle)
{
    auto fields = threeFields();
    ASSERT_TRUE(fields[0]->becomeFirstResponder());
    EXPECT_DOUBLE_EQ(uikit::Keyboard::shared()->frame().size.height, 216 + 44) << "the keyboard carries the toolbar";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(i);
        auto toolbar = toolbarOf(*fields[i]);
        ASSERT_TRUE(toolbar);
        EXPECT_TRUE(fields[i]->isFirstResponder());
        EXPECT_EQ(toolbar->tag(), kb::kPreviousNextToolbarTag);
        EXPECT_EQ(toolbar->items()[0]->isEnabled(), i > 0);
        EXPECT_EQ(toolbar->items()[2]->isEnabled(), i < 2);
        EXPECT_EQ(toolbar->title(), fields[i]->placeholder());
        EXPECT_EQ(captionOf(*toolbar)->titleLabel()->text(), fields[i]->placeholder());
        toolbar->items()[2]->performAction(); // next
    }
    toolbarOf(*fields[2])->items()[0]->performAction(); // previous
    EXPECT_TRUE(fields[1]->isFirstResponder());
}

TEST_F(AutoToolbarTest, DoneResignsAndTheInputsCallbacksRunOnlyAfterSuccess)
{
    auto fields = threeFields();
    fields.push_back(std::make_shared<RefusingField>(CGRectMake(20, 300, 280, 30)));
    screen->addSubview(fields.back());
    std::vector<std::string> calls;
    kb::setCustomNextAction(*fields[0], [&](const std::shared_ptr<UIView>& view) { calls.push_back(view == fields[0] ? "next0" : "?"); });
    kb::setCustomNextAction(*fields[2], [&](const std::shared_ptr<UIView>&) { calls.push_back("next2"); });
    kb::setCustomDoneAction(*fields[2], [&](const std::shared_ptr<UIView>&) { calls.push_back("done2"); });

    ASSERT_TRUE(fields[0]->becomeFirstResponder());
    toolbarOf(*fields[0])->items()[2]->performAction();
    EXPECT_EQ(calls, std::vector<std::string> { "next0" });

    // Next into a field that refuses: editing stays, no callback.
    ASSERT_TRUE(fields[2]->becomeFirstResponder());
    toolbarOf(*fields[2])->items()[2]->performAction();
    EXPECT_TRUE(fields[2]->isFirstResponder());
    EXPECT_EQ(calls.size(), 1u);

    toolbarOf(*fields[2])->items().back()->performAction(); // Done
    EXPECT_FALSE(fields[2]->isFirstResponder());
    EXPECT_EQ(calls.back(), "done2");
    EXPECT_EQ(manager->textFieldView(), nullptr);

    // A callback whose target is gone does nothing.
    struct Target {
        int hits = 0;
        void hit(const std::shared_ptr<UIView>&) { ++hits; }
    };
    auto target = std::make_shared<Target>();
    auto callback = kb::weakCallback(target, &Target::hit);
    callback(fields[0]);
    EXPECT_EQ(target->hits, 1);
    target.reset();
    callback(fields[0]);
}

TEST_F(AutoToolbarTest, LoneFieldsShareOneDoneToolbarAndScreenToolbarsStay)
{
    auto lone = addField(screen, CGRectMake(20, 100, 280, 30));
    lone->setPlaceholder("alone");
    ASSERT_TRUE(lone->becomeFirstResponder());
    auto shared = toolbarOf(*lone);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->tag(), kb::kDoneToolbarTag);
    EXPECT_EQ(shared, KBKeyboardManager::sharedDoneToolbar());
    EXPECT_EQ(shared->title(), "alone");
    shared->items().back()->performAction();
    EXPECT_FALSE(lone->isFirstResponder()) << "Done ends editing";

    // Another screen's lone field gets the very same toolbar, captioned for it.
    auto other = UIView::create(CGRectMake(0, 0, 320, 568));
    screen->addSubview(other);
    auto second = addField(other, CGRectMake(20, 100, 280, 30));
    second->setPlaceholder("second");
    ASSERT_TRUE(second->becomeFirstResponder());
    EXPECT_EQ(toolbarOf(*second), shared);
    EXPECT_EQ(shared->title(), "second");
    second->resignFirstResponder();

    // The screen's own toolbar is kept; its neighbour still gets arrows.
    auto own = KBToolbar::create();
    second->setInputAccessoryView(own);
    auto neighbour = addField(other, CGRectMake(20, 200, 280, 30));
    ASSERT_TRUE(second->becomeFirstResponder());
    EXPECT_EQ(second->inputAccessoryView(), own);
    EXPECT_EQ(toolbarOf(*neighbour)->tag(), kb::kPreviousNextToolbarTag);
}
