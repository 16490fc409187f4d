// The serializer's multipart entry points: building a multipart request from parameters and a
// body block, and writing a multipart body into a file.
#include "net/NKMultipartFormData.h"
#include "net/NKURLRequestSerialization.h"
#include "platform/threading/Dispatch.h"

std::shared_ptr<NSMutableURLRequest> NKHTTPRequestSerializer::multipartFormRequestWithMethod(const std::string& method,
    const std::string& URLString, const Value& parameters, const MultipartBodyBlock& block, NSErrorRef* error)
{
    auto request = requestWithMethod(method, URLString, Value(), error);
    if (!request)
        return nullptr;
    NKStreamingMultipartFormData formData(request, NSUTF8StringEncoding);
    for (const auto& pair : net::flattenParameters(Value(), parameters)) {
        std::optional<Bytes> data;
        if (pair.value().isData())
            data = pair.value().asData();
        else if (pair.value().isNull())
            data = Bytes {};
        else
            data = NSString::dataUsingEncoding(pair.value().description(), stringEncoding());
        if (data)
            formData.appendPartWithFormData(*data, pair.field().description());
    }
    if (block)
        block(formData);
    return formData.requestByFinalizingMultipartFormData();
}

namespace {

// Copies the body stream into the file; the first stream error, or nullptr.
NSErrorRef copyBody(NSInputStream& input, NSOutputStream& output)
{
    input.open();
    output.open();
    // A file that cannot be opened (or a body that cannot) ends the copy before it starts.
    NSErrorRef error = output.streamError() ? output.streamError() : input.streamError();
    std::uint8_t buffer[1024];
    if (error) {
        output.close();
        input.close();
        return error;
    }
    while (input.hasBytesAvailable() && output.hasSpaceAvailable()) {
        std::int64_t got = input.read(buffer, sizeof buffer);
        if (got < 0 || input.streamError()) {
            error = input.streamError();
            break;
        }
        if (got == 0)
            break;
        std::int64_t written = 0;
        while (written < got) {
            std::int64_t wrote = output.write(buffer + written, static_cast<std::size_t>(got - written));
            if (wrote <= 0 || output.streamError()) {
                error = output.streamError();
                if (!error)
                    error = NSError::errorWithDomain(NSPOSIXErrorDomain, 5); // EIO
                break;
            }
            written += wrote;
        }
        if (error)
            break;
    }
    output.close();
    input.close();
    return error;
}

} // namespace

std::shared_ptr<NSMutableURLRequest> NKHTTPRequestSerializer::requestWithMultipartFormRequest(
    const std::shared_ptr<NSURLRequest>& request, const NSURL& fileURL, std::function<void(NSErrorRef)> completionHandler)
{
    // No request has no body: the file is left alone and the completion hears of no error.
    auto input = request ? request->HTTPBodyStream() : nullptr;
    auto output = NSOutputStream::outputStreamToFileAtPath(fileURL.path(), false);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
        [input, output, completionHandler = std::move(completionHandler)] {
            NSErrorRef error = input ? copyBody(*input, *output) : nullptr;
            if (completionHandler)
                dispatch_async(dispatch_get_main_queue(), [completionHandler, error] { completionHandler(error); });
        });
    if (!request)
        return nullptr;
    auto copy = request->mutableCopy();
    copy->setHTTPBodyStream(nullptr);
    return copy;
}
