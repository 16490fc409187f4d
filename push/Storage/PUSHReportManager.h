// The retry timer of HTTP report requests: a request that failed is sent again after 40, 100,
// 200 and then 300 seconds, four times at most. The timers run on the run loop of the thread
// that starts them, and hold the request until they fire.
#pragma once

#include <cstdint>
#include <memory>

class NSTimer;

// What the retry timer needs of a report request.
class PUSHReportRetryable {
public:
    virtual ~PUSHReportRetryable() = default;
    virtual std::uint32_t reSendTimerIndex() const = 0;
    virtual void setReSendTimerIndex(std::uint32_t index) = 0;
    // Sends the request again.
    virtual void sendReport() = 0;
};

class PUSHReportManager {
public:
    PUSHReportManager() = delete;

    static constexpr double kRetryDelays[] = { 40, 100, 200, 300 };

    // Schedules the next retry; false (and nothing scheduled) after the fourth.
    static bool startDelaySend(const std::shared_ptr<PUSHReportRetryable>& request);
    // A retry timer fired: count the retry and send the request again.
    static void doSendReport(const std::shared_ptr<PUSHReportRetryable>& request);
};
