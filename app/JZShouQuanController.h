// JZShouQuanController: the agent-certificate lookup ("授权"). The agent's messenger account
// typed into the field opens the server's certificate page for it; an empty field asks for it.
//
// Its field and button are built in code (buildLayout) in place of a layout file.
#pragma once

#include <memory>
#include <string>

#include "app/DDYPPartentsController.h"
#include "platform/uikit/UITextField.h"

class JZShouQuanController : public DDYPPartentsController {
public:
    static std::shared_ptr<JZShouQuanController> create() { return std::make_shared<JZShouQuanController>(); }
    std::string className() const override { return "JZShouQuanController"; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { DDYPPartentsController::didReceiveMemoryWarning(); }

    // The lookup button's action.
    void lookAction(const std::shared_ptr<UIButton>&) { lookShouQuan(); }
    // Opens the certificate page of the typed account, or says "请填写代理聊天号".
    void lookShouQuan();

    const std::shared_ptr<UIView>& backView() const { return backView_; }
    std::shared_ptr<UITextField> dlLiaoTianHao() const { return dlLiaoTianHao_.lock(); }
    const std::shared_ptr<UIButton>& lookButton() const { return lookButton_; }

private:
    void buildLayout();

    std::shared_ptr<UIView> backView_;
    std::weak_ptr<UITextField> dlLiaoTianHao_;
    std::shared_ptr<UIButton> lookButton_;
};

namespace app {

// The certificate page of an agent account: the account goes into the query escaped, so that
// spaces, non-ASCII text, "&" or "#" reach the server as typed.
std::string agentCertificateURL(const std::string& account);

} // namespace app
