// The certificate web screen's page-view report.
#include "app/SNAppSpeakController.h"

#include "app/DVUUID.h"
#include "app/ServerRoots.h"
#include "app/ZHHttpTool.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "ui/PGProgressHUD.h"

namespace {

constexpr const char* kPageView = "home//web.do";

} // namespace

void SNAppSpeakController::getFirsetMsg()
{
    Value params = Value::dictionary();
    params.set("clientId", DVUUID::uuidForDevice());
    if (catoryId_)
        params.set("categoryId", NSString::stringWithFormat("%@", *catoryId_));
    NSLog("param:%@", params);

    auto self = sharedAs<SNAppSpeakController>();
    ZHHttpTool::postWithURL(
        app::dataServerURL(kPageView), params,
        [self](const Value& reply) {
            NSLog("%@", reply);
            if (app::replyStatus(reply) != 0)
                return;
            // A reply that is not an envelope reads as status 0 without a message: a failure.
            PGProgressHUD::showSuccess(app::refusalText(reply), self->view());
        },
        [self](const NSErrorRef&) { PGProgressHUD::showSuccess("出错", self->view()); });
}
