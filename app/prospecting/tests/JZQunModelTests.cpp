// The QR-code record built from reply items: texts of every kind of value, the position, and
// the picture's image view with its placeholder and its download from the data server.
#include "app/prospecting/JZQunModel.h"
#include "app/prospecting/tests/JZQunTestSupport.h"

namespace app::test {

namespace {

class QrRecord : public QrScreenTest { };

TEST_F(QrRecord, MissingKeysReadNullAndValuesKeepTheirText)
{
    auto bare = JZQunModel::initWithDic(Value::dictionary());
    ASSERT_TRUE(bare);
    for (const auto& text : { bare->qunTitle(), bare->qunId(), bare->qunType(), bare->qunArear(), bare->qunIgUrl(),
             bare->qunNumber(), bare->qunUpTime(), bare->qunMiaoShu(), bare->qunZhuNumber(), bare->qunTypeId(), bare->qunArearId() })
        EXPECT_EQ(text, "(null)");
    EXPECT_EQ(bare->position(), 0);
    EXPECT_FALSE(bare->selector());

    auto full = JZQunModel::initWithDic(Value::dictionary({ { "title", 7 }, { "qrcodeId", 15 }, { "categoryName", "聊天群" },
        { "areaName", "广州市" }, { "groupaccount", "g1" }, { "fAddtime", "2026-01-02" }, { "descriptions", "简介" },
        { "account", 123456789012LL }, { "type", "3" }, { "areaId", 440100 }, { "position", "12" }, { "qrcodeImg", "" } }));
    EXPECT_EQ(full->qunTitle(), "7");
    EXPECT_EQ(full->qunZhuNumber(), "123456789012");
    EXPECT_EQ(full->qunArearId(), "440100");
    EXPECT_EQ(full->position(), 12);
    EXPECT_EQ(full->qunIgUrl(), "");
    EXPECT_FALSE(full->qunImage()) << "an empty picture address gives no image view";

    // A null or non-numeric position reads 0; an item that is not a dictionary has no keys.
    EXPECT_EQ(JZQunModel::initWithDic(Value::dictionary({ { "position", Value::null() } }))->position(), 0);
    EXPECT_EQ(JZQunModel::initWithDic(Value::dictionary({ { "position", "abc" } }))->position(), 0);
    EXPECT_EQ(JZQunModel::initWithDic(Value("text"))->qunTitle(), "(null)");
    EXPECT_EQ(JZQunModel::initWithDic(Value::dictionary({ { "title", Value::null() } }))->qunTitle(), "<null>");
}

TEST_F(QrRecord, MissingPictureKeepsThePlaceholderInASquareView)
{
    auto placeholder = JZQunModel::placeholderImage();
    ASSERT_TRUE(placeholder) << "the \"moren\" resource";
    auto model = JZQunModel::initWithDic(Value::dictionary({ { "title", "t" } }));
    auto view = model->qunImage();
    ASSERT_TRUE(view) << "a missing picture address is not the empty one";
    EXPECT_EQ(view->image(), placeholder);
    testing_support::settle(2);
    EXPECT_EQ(view->image(), placeholder) << "\"(null)\" is no address to load";
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
