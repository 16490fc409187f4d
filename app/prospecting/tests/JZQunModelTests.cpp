// The QR-code record built from reply items: texts of every kind of value, the position, and
// the picture's image view with its placeholder and its download from the data server.
#include "app/prospecting/JZQunModel.h"
#include "app/prospecting/tests/JZQunTestSupport.h"

namespace app::test {

namespace {

class QrRecord : public QrScreenTest { };

TEST_F(QrRecord, TextsOfEveryKindOfValueAndThePosition)
{
    auto bare = JZQunModel::initWithDic(Value("text")); // no dictionary: no keys
    for (const auto& text : { bare->qunTitle(), bare->qunId(), bare->qunType(), bare->qunArear(), bare->qunIgUrl(),
             bare->qunNumber(), bare->qunUpTime(), bare->qunMiaoShu(), bare->qunZhuNumber(), bare->qunTypeId(), bare->qunArearId() })
        EXPECT_EQ(text, "(null)");
    EXPECT_EQ(JZQunModel::initWithDic(Value::dictionary({ { "title", Value::null() } }))->qunTitle(), "<null>");
    auto full = JZQunModel::initWithDic(Value::dictionary({ { "title", 7 }, { "account", 123456789012LL }, { "position", "12" },
        { "qrcodeImg", "" } }));
    EXPECT_EQ(full->qunTitle(), "7");
    EXPECT_EQ(full->qunZhuNumber(), "123456789012");
    EXPECT_EQ(full->position(), 12);
    EXPECT_FALSE(full->qunImage()) << "an empty picture address gives no image view";
    EXPECT_EQ(bare->position(), 0);
    for (const auto& position : { Value::null(), Value("abc") })
        EXPECT_EQ(JZQunModel::initWithDic(Value::dictionary({ { "position", position } }))->position(), 0);

    // A missing picture address is not the empty one: the placeholder shows and stays.
    auto view = JZQunModel::initWithDic(Value::dictionary({ { "title", "t" } }))->qunImage();
    ASSERT_TRUE(view);
    ASSERT_TRUE(JZQunModel::placeholderImage()) << "the \"moren\" resource";
    testing_support::settle(2);
    EXPECT_EQ(view->image(), JZQunModel::placeholderImage()) << "\"(null)\" is no address to load";
}

TEST_F(QrRecord, PictureArrivesFromTheServerInPlaceOfThePlaceholder)
{
    std::string address = server().dataRoot() + "qrcode/image.do?id=1";
    auto model = JZQunModel::initWithDic(Value::dictionary({ { "qrcodeImg", address } }));
    ASSERT_TRUE(model->qunImage());
    EXPECT_EQ(model->qunImage()->image(), JZQunModel::placeholderImage()) << "the placeholder shows at once";
    ASSERT_TRUE(waitFor([&] { return model->qunImage()->image() && model->qunImage()->image() != JZQunModel::placeholderImage(); }));
    EXPECT_EQ(model->qunIgUrl(), address);

    // A picture that is not there leaves the placeholder.
    auto missing = JZQunModel::initWithDic(Value::dictionary({ { "qrcodeImg", server().dataRoot() + "qrcode/image.do?id=99999" } }));
    ASSERT_TRUE(waitForRequests("qrcode/image.do", 2));
    testing_support::settle(3);
    EXPECT_EQ(missing->qunImage()->image(), JZQunModel::placeholderImage());
}

} // namespace

} // namespace app::test
