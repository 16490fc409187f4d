// NKHTTPSessionManager: the HTTP verbs as session tasks. A URL string is resolved against the
// base URL, the request serializer builds the request (a multipart body for the multipart
// POST), and the task, already resumed, reports to a success or a failure block on the
// completion queue. A request that cannot be built makes no task: the failure block then gets
// no task and the serializer's error.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/NKMultipartFormData.h"
#include "net/NKURLRequestSerialization.h"
#include "net/NKURLSessionManager.h"

class NKHTTPSessionManager : public NKURLSessionManager {
public:
    using Success = std::function<void(const DataTaskRef&, const Value& responseObject)>;
    using HeadSuccess = std::function<void(const DataTaskRef&)>;
    // The task is nullptr when the request could not be built.
    using Failure = std::function<void(const DataTaskRef&, const NSErrorRef&)>;

    static std::shared_ptr<NKHTTPSessionManager> manager();
    static std::shared_ptr<NKHTTPSessionManager> initWithBaseURL(const std::optional<NSURL>& baseURL,
        std::shared_ptr<NSURLSessionConfiguration> configuration = nullptr);
    static std::shared_ptr<NKHTTPSessionManager> initWithSessionConfiguration(std::shared_ptr<NSURLSessionConfiguration> configuration);
    std::string className() const override { return "NKHTTPSessionManager"; }
    std::string description() const override;

    // Archiving with secure coding: the base URL, the session's configuration (or, for one that
    // cannot be archived, its identifier) and both serializers.
    void encodeWithCoder(NSCoder& coder) const override;
    static std::shared_ptr<NKHTTPSessionManager> initWithCoder(NSCoder& coder);

    DataTaskRef GET(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    DataTaskRef HEAD(const std::string& URLString, const Value& parameters, HeadSuccess success, Failure failure);
    DataTaskRef POST(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    // The resumed upload task of a multipart body.
    DataTaskRef POST(const std::string& URLString, const Value& parameters, const NKHTTPRequestSerializer::MultipartBodyBlock& block,
        Success success, Failure failure);
    DataTaskRef PUT(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    DataTaskRef PATCH(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    DataTaskRef DELETE(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    // The task for any method, not yet resumed; nullptr when the request could not be built.
    DataTaskRef dataTaskWithHTTPMethod(const std::string& method, const std::string& URLString, const Value& parameters,
        Success success, Failure failure);

    const std::optional<NSURL>& baseURL() const { return baseURL_; }
    std::shared_ptr<NKHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(std::shared_ptr<NKHTTPRequestSerializer> serializer);

    // An NKHTTPSessionManager with the same base URL and session configuration, copies of
    // both serializers and of the security policy.
    std::shared_ptr<NKURLSessionManager> copy() const override;

    NKHTTPSessionManager(const std::optional<NSURL>& baseURL, std::shared_ptr<NSURLSessionConfiguration> configuration);

private:
    std::string resolve(const std::string& URLString) const;
    void failAsynchronously(const Failure& failure, const NSErrorRef& error) const;
    // A completion handler that calls success or failure with the task held in `slot`.
    static CompletionHandler routing(std::shared_ptr<DataTaskRef> slot, Success success, Failure failure);

    std::optional<NSURL> baseURL_;
    mutable std::mutex serializerMutex_;
    std::shared_ptr<NKHTTPRequestSerializer> requestSerializer_;
};
