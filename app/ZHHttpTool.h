// ZHHttpTool: the app's one way to its servers. A form-encoded POST whose body is parsed here
// (nil when it is not JSON), a multipart POST with file parts and a GET, both parsed by the
// stack's JSON serializer. Every call makes its own request-operation manager; both callbacks
// run on the main queue and either may be empty.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

// One file part of a multipart POST.
class ZHFormData : public NSObject {
public:
    static std::shared_ptr<ZHFormData> create() { return std::make_shared<ZHFormData>(); }
    std::string className() const override { return "ZHFormData"; }

    const Bytes& data() const { return data_; }
    void setData(Bytes data) { data_ = std::move(data); }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::string& filename() const { return filename_; }
    void setFilename(std::string filename) { filename_ = std::move(filename); }
    const std::string& mimeType() const { return mimeType_; }
    void setMimeType(std::string mimeType) { mimeType_ = std::move(mimeType); }

private:
    Bytes data_;
    std::string name_;
    std::string filename_;
    std::string mimeType_;
};

class ZHHttpTool : public NSObject {
public:
    using Success = std::function<void(const Value& reply)>;
    using Failure = std::function<void(const NSErrorRef& error)>;

    ZHHttpTool() = delete;

    // Form POST: the reply body parsed as JSON (nil when empty or not JSON) goes to success;
    // a connection error or a status outside 200-299 goes to failure.
    static void postWithURL(const std::string& url, const Value& params, Success success, Failure failure);
    // Multipart POST: the parameters as text parts, then one file part per form data, in order.
    static void postWithURL(const std::string& url, const Value& params,
        const std::vector<std::shared_ptr<ZHFormData>>& formDataArray, Success success, Failure failure);
    // GET with the parameters in the query.
    static void getWithURL(const std::string& url, const Value& params, Success success, Failure failure);
};
