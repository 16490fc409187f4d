// NKHTTPRequestOperationManager: what the requests of one client share (base URL, request and
// response serializers, security policy, credential settings, completion queue and group, an
// operation queue) and one method per HTTP verb. Each builds the request, wraps it in an
// NKHTTPRequestOperation with the caller's success and failure blocks, queues it and returns it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/NKHTTPRequestOperation.h"
#include "net/NKMultipartFormData.h"
#include "net/NKNetworkReachabilityManager.h"
#include "net/NKSecurityPolicy.h"
#include "net/NKURLRequestSerialization.h"
#include "net/NKURLResponseSerialization.h"

// Archivable with secure coding: the base URL and both serializers; everything else takes
// its default when restored.
class NKHTTPRequestOperationManager : public NSObject, public NSCoding {
public:
    using Success = NKHTTPRequestOperation::Success;
    using Failure = NKHTTPRequestOperation::Failure;
    using HeadSuccess = std::function<void(const std::shared_ptr<NKHTTPRequestOperation>&)>;
    using OperationRef = std::shared_ptr<NKHTTPRequestOperation>;

    static std::shared_ptr<NKHTTPRequestOperationManager> manager();
    static std::shared_ptr<NKHTTPRequestOperationManager> initWithBaseURL(const std::optional<NSURL>& baseURL);
    explicit NKHTTPRequestOperationManager(const std::optional<NSURL>& baseURL = std::nullopt);
    std::string className() const override { return "NKHTTPRequestOperationManager"; }
    std::string description() const override;
    static constexpr bool supportsSecureCoding() { return true; }
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // A new, not yet queued operation for the request, with the manager's settings.
    OperationRef HTTPRequestOperationWithRequest(const std::shared_ptr<NSURLRequest>& request, Success success, Failure failure);
    // The same for a method and a URL string; nullptr after a serialization error (the failure
    // block then runs asynchronously with no operation).
    OperationRef HTTPRequestOperationWithHTTPMethod(const std::string& method, const std::string& URLString,
        const Value& parameters, Success success, Failure failure);

    OperationRef GET(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    OperationRef HEAD(const std::string& URLString, const Value& parameters, HeadSuccess success, Failure failure);
    OperationRef POST(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    OperationRef POST(const std::string& URLString, const Value& parameters,
        const NKHTTPRequestSerializer::MultipartBodyBlock& block, Success success, Failure failure);
    OperationRef PUT(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    OperationRef PATCH(const std::string& URLString, const Value& parameters, Success success, Failure failure);
    OperationRef DELETE(const std::string& URLString, const Value& parameters, Success success, Failure failure);

    const std::optional<NSURL>& baseURL() const { return baseURL_; }
    void setBaseURL(std::optional<NSURL> url) { baseURL_ = std::move(url); }
    const std::shared_ptr<NKHTTPRequestSerializer>& requestSerializer() const { return requestSerializer_; }
    void setRequestSerializer(std::shared_ptr<NKHTTPRequestSerializer> serializer) { requestSerializer_ = std::move(serializer); }
    const std::shared_ptr<NKHTTPResponseSerializer>& responseSerializer() const { return responseSerializer_; }
    void setResponseSerializer(std::shared_ptr<NKHTTPResponseSerializer> serializer) { responseSerializer_ = std::move(serializer); }
    const std::shared_ptr<NSOperationQueue>& operationQueue() const { return operationQueue_; }
    void setOperationQueue(std::shared_ptr<NSOperationQueue> queue) { operationQueue_ = std::move(queue); }
    const std::shared_ptr<NSURLCredential>& credential() const { return credential_; }
    void setCredential(std::shared_ptr<NSURLCredential> credential) { credential_ = std::move(credential); }
    bool shouldUseCredentialStorage() const { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool use) { shouldUseCredentialStorage_ = use; }
    const std::shared_ptr<NKSecurityPolicy>& securityPolicy() const { return securityPolicy_; }
    void setSecurityPolicy(std::shared_ptr<NKSecurityPolicy> policy) { securityPolicy_ = std::move(policy); }
    const std::shared_ptr<NKNetworkReachabilityManager>& reachabilityManager() const { return reachabilityManager_; }
    void setReachabilityManager(std::shared_ptr<NKNetworkReachabilityManager> manager) { reachabilityManager_ = std::move(manager); }
    // Given to every operation built (see NKURLConnectionOperation::maximumResponseDataLength).
    std::uint64_t maximumResponseDataLength() const { return maximumResponseDataLength_; }
    void setMaximumResponseDataLength(std::uint64_t bytes) { maximumResponseDataLength_ = bytes; }
    const dispatch_queue_t& completionQueue() const { return completionQueue_; }
    void setCompletionQueue(dispatch_queue_t queue) { completionQueue_ = std::move(queue); }
    const dispatch_group_t& completionGroup() const { return completionGroup_; }
    void setCompletionGroup(dispatch_group_t group) { completionGroup_ = std::move(group); }

    // Same base URL, copies of both serializers and of the security policy, the same
    // credential settings; a new operation queue.
    std::shared_ptr<NKHTTPRequestOperationManager> copy() const;

private:
    // A path without its trailing "/" gets one, so relative paths resolve below the whole path.
    static std::optional<NSURL> normalizedBaseURL(const std::optional<NSURL>& baseURL);
    std::string resolve(const std::string& URLString) const;
    void failAsynchronously(const Failure& failure, NSErrorRef error) const;
    OperationRef enqueue(OperationRef operation);

    bool shouldUseCredentialStorage_ = true;
    std::optional<NSURL> baseURL_;
    std::shared_ptr<NKHTTPRequestSerializer> requestSerializer_;
    std::shared_ptr<NKHTTPResponseSerializer> responseSerializer_;
    std::shared_ptr<NSOperationQueue> operationQueue_;
    std::shared_ptr<NSURLCredential> credential_;
    std::shared_ptr<NKSecurityPolicy> securityPolicy_;
    std::shared_ptr<NKNetworkReachabilityManager> reachabilityManager_;
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;
    std::uint64_t maximumResponseDataLength_ = NKDefaultMaximumResponseDataLength;
};
