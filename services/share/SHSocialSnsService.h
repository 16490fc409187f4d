// SHSocialSnsService: the share sheet. It shows one button per named platform that has been
// configured (and a cancel button) over the presenting screen; choosing one shares the text,
// image and that platform's title and link, and tells the delegate. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/UIImage.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIViewController.h"

// What a finished share carried.
struct SHSocialShare {
    std::string platformName;
    std::string appKey;
    std::string text;
    std::string title;
    std::string url;
    bool hasImage = false;
};

class SHSocialUIDelegate {
public:
    virtual ~SHSocialUIDelegate() = default;
    virtual void didFinishShare(const SHSocialShare&) { }
    virtual void didCloseShareSheet() { }
};

class SHSocialSnsService final {
public:
    SHSocialSnsService() = delete;
    static void presentSnsIconSheetView(const std::shared_ptr<UIViewController>& controller, const std::string& appKey,
        const std::string& shareText, const UIImageRef& shareImage, const std::vector<std::string>& shareToSnsNames,
        const std::shared_ptr<SHSocialUIDelegate>& delegate);

    // How often the sheet was presented, and the last share made through it.
    static int sheetUseCount();
    static std::optional<SHSocialShare> lastShare();
    static void reset();
};
