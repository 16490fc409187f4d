// The server client over the request-operation manager.
#include "app/ZHHttpTool.h"

#include "net/NKHTTPRequestOperationManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/persistence/NSJSONSerialization.h"

namespace {

using Operation = std::shared_ptr<NKHTTPRequestOperation>;

using ManagerRef = std::shared_ptr<NKHTTPRequestOperationManager>;

// The blocks hold the manager (and so its queue) until the operation has finished; the
// operation lets go of its blocks then.
NKHTTPRequestOperationManager::Failure failureBlock(const ManagerRef& manager, ZHHttpTool::Failure failure)
{
    return [manager, failure = std::move(failure)](const Operation&, const NSErrorRef& error) {
        if (failure)
            failure(error);
    };
}

} // namespace

void ZHHttpTool::postWithURL(const std::string& url, const Value& params, Success success, Failure failure)
{
    auto manager = NKHTTPRequestOperationManager::manager();
    manager->setResponseSerializer(NKHTTPResponseSerializer::serializer());
    auto parse = [manager, success = std::move(success)](const Operation&, const Value& body) {
        if (!success)
            return;
        // The body arrives as bytes (absent when there was none); anything but JSON is nil.
        Value reply;
        if (body.isData())
            reply = NSJSONSerialization::JSONObjectWithData(body.asData(), NSJSONReadingMutableLeaves);
        success(reply);
    };
    manager->POST(url, params, std::move(parse), failureBlock(manager, std::move(failure)));
}

void ZHHttpTool::postWithURL(const std::string& url, const Value& params,
    const std::vector<std::shared_ptr<ZHFormData>>& formDataArray, Success success, Failure failure)
{
    auto manager = NKHTTPRequestOperationManager::manager();
    auto parts = [formDataArray](NKMultipartFormData& formData) {
        for (const auto& part : formDataArray) {
            if (part)
                formData.appendPartWithFileData(part->data(), part->name(), part->filename(), part->mimeType());
        }
    };
    auto done = [manager, success = std::move(success)](const Operation&, const Value& reply) {
        NSLog("%@", reply);
        if (success)
            success(reply);
    };
    manager->POST(url, params, parts, std::move(done), failureBlock(manager, std::move(failure)));
}

void ZHHttpTool::getWithURL(const std::string& url, const Value& params, Success success, Failure failure)
{
    auto manager = NKHTTPRequestOperationManager::manager();
    auto done = [manager, success = std::move(success)](const Operation&, const Value& reply) {
        if (success)
            success(reply);
    };
    manager->GET(url, params, std::move(done), failureBlock(manager, std::move(failure)));
}
