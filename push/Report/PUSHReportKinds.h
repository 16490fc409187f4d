// The statistics report kinds: launch, session end, device information, message result,
// location and crash log, each with its kind code, its own item and its response class.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "push/Report/PUSHHttpResponse.h"
#include "push/Report/PUSHReportRequest.h"

class PUSHPageFlow;
class PUSHLocationInfoController;

// The flag value standing for "no flag" in a message result.
inline constexpr std::int32_t kPUSHAbsentMessageFlag = -10000;

#define PUSH_REPORT_RESPONSE(Name)                                                                                     \
    class Name : public PUSHReportResponse {                                                                           \
    public:                                                                                                            \
        static std::shared_ptr<PUSHHttpResponse> initWithDataResponseDelegateFrom(const std::optional<Bytes>&,         \
            const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,    \
            const std::shared_ptr<PUSHReportRequest>& request)                                                         \
        {                                                                                                              \
            return make<Name>(response, delegate, request);                                                            \
        }                                                                                                              \
        std::string className() const override { return #Name; }                                                       \
    }

PUSH_REPORT_RESPONSE(PUSHUserLoginReportResponse);
PUSH_REPORT_RESPONSE(PUSHUserActiveReportResponse);
PUSH_REPORT_RESPONSE(PUSHMessageReportResponse);
PUSH_REPORT_RESPONSE(PUSHCrashHandlerReportResponse);

// Device and location responses remember the item the server accepted under `key`.
class PUSHRememberingReportResponse : public PUSHReportResponse {
public:
    void handleReceipt() override;

protected:
    virtual const char* rememberKey() const = 0;
};

class PUSHUserDeviceReportResponse : public PUSHRememberingReportResponse {
public:
    static std::shared_ptr<PUSHHttpResponse> initWithDataResponseDelegateFrom(const std::optional<Bytes>&,
        const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
        const std::shared_ptr<PUSHReportRequest>& request)
    {
        return make<PUSHUserDeviceReportResponse>(response, delegate, request);
    }
    std::string className() const override { return "PUSHUserDeviceReportResponse"; }

protected:
    const char* rememberKey() const override;
};

class PUSHLocationReportResponse : public PUSHRememberingReportResponse {
public:
    static std::shared_ptr<PUSHHttpResponse> initWithDataResponseDelegateFrom(const std::optional<Bytes>&,
        const std::shared_ptr<NSURLResponse>& response, const std::weak_ptr<PUSHHttpRequestDelegate>& delegate,
        const std::shared_ptr<PUSHReportRequest>& request)
    {
        return make<PUSHLocationReportResponse>(response, delegate, request);
    }
    std::string className() const override { return "PUSHLocationReportResponse"; }

protected:
    const char* rememberKey() const override;
};

class PUSHUserLoginReportRequest : public PUSHReportRequest {
public:
    static std::shared_ptr<PUSHUserLoginReportRequest> create();
    bool packData() override;
    void setResponseBlock() override { installResponseBlock<PUSHUserLoginReportResponse>(); }
    std::string className() const override { return "PUSHUserLoginReportRequest"; }
};

class PUSHUserActiveReportRequest : public PUSHReportRequest {
public:
    static std::shared_ptr<PUSHUserActiveReportRequest> create();
    void setReportActives(const std::shared_ptr<PUSHPageFlow>& actives, double sessionStartTime, double sessionCloseTime);
    bool packData() override;
    void setResponseBlock() override { installResponseBlock<PUSHUserActiveReportResponse>(); }
    const std::shared_ptr<PUSHPageFlow>& actives() const { return actives_; }
    double sessionStartTime() const { return sessionStartTime_; }
    double sessionCloseTime() const { return sessionCloseTime_; }
    std::string className() const override { return "PUSHUserActiveReportRequest"; }

private:
    Value p_addActives() const;

    std::shared_ptr<PUSHPageFlow> actives_;
    double sessionStartTime_ = 0;
    double sessionCloseTime_ = 0;
};

class PUSHUserDeviceReportRequest : public PUSHReportRequest {
public:
    static std::shared_ptr<PUSHUserDeviceReportRequest> create();
    bool packData() override;
    void setResponseBlock() override { installResponseBlock<PUSHUserDeviceReportResponse>(); }
    std::string className() const override { return "PUSHUserDeviceReportRequest"; }
};

class PUSHMessageReportRequest : public PUSHReportRequest {
public:
    static std::shared_ptr<PUSHMessageReportRequest> create();
    void setActiveType(std::int32_t state, std::string messageID, std::int32_t flag);
    bool packData() override;
    void setResponseBlock() override { installResponseBlock<PUSHMessageReportResponse>(); }
    std::uint16_t messageStateType() const { return messageStateType_; }
    const std::string& messageID() const { return messageID_; }
    std::int32_t flag() const { return flag_; }
    std::string className() const override { return "PUSHMessageReportRequest"; }

private:
    std::uint16_t messageStateType_ = 0;
    std::string messageID_;
    std::int32_t flag_ = kPUSHAbsentMessageFlag;
};

class PUSHLocationReportRequest : public PUSHReportRequest {
public:
    static std::shared_ptr<PUSHLocationReportRequest> create();
    void setLocationInfoController(const std::shared_ptr<PUSHLocationInfoController>& info);
    const std::shared_ptr<PUSHLocationInfoController>& locationInfoController() const { return locationInfo_; }
    bool packData() override;
    void setResponseBlock() override { installResponseBlock<PUSHLocationReportResponse>(); }
    std::string className() const override { return "PUSHLocationReportRequest"; }

private:
    std::shared_ptr<PUSHLocationInfoController> locationInfo_;
};

class PUSHCrashHandlerReportRequest : public PUSHReportRequest {
public:
    static std::shared_ptr<PUSHCrashHandlerReportRequest> create();
    bool packData() override;
    void setResponseBlock() override { installResponseBlock<PUSHCrashHandlerReportResponse>(); }
    std::string className() const override { return "PUSHCrashHandlerReportRequest"; }
};
