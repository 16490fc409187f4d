// SNAppSpeakController: the web page screen of the agent certificate. Besides its page it
// reports the page view to the data server ("home//web.do") once, when it is created.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/WebPageScreen.h"

class SNAppSpeakController : public app::WebPageScreen {
public:
    static std::shared_ptr<SNAppSpeakController> create() { return std::make_shared<SNAppSpeakController>(); }
    std::string className() const override { return "SNAppSpeakController"; }

    // The page-view request: "clientId" and, when set, "categoryId".
    void getFirsetMsg();

    const std::optional<std::string>& catoryId() const { return catoryId_; }
    void setCatoryId(std::optional<std::string> id) { catoryId_ = std::move(id); }

protected:
    void afterLoadRequest() override { getFirsetMsg(); }

private:
    std::optional<std::string> catoryId_;
};
