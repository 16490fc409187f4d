// Delayed resends of report requests.
#include "push/Storage/PUSHReportManager.h"

#include <iterator>

#include "platform/threading/NSTimer.h"

bool PUSHReportManager::startDelaySend(const std::shared_ptr<PUSHReportRetryable>& request)
{
    if (!request)
        return false;
    const std::uint32_t index = request->reSendTimerIndex();
    if (index >= std::size(kRetryDelays))
        return false;
    NSTimer::scheduledTimerWithTimeInterval(
        kRetryDelays[index], false, [request](const std::shared_ptr<NSTimer>&) { doSendReport(request); });
    return true;
}

void PUSHReportManager::doSendReport(const std::shared_ptr<PUSHReportRetryable>& request)
{
    if (!request)
        return;
    request->setReSendTimerIndex(request->reSendTimerIndex() + 1);
    request->sendReport();
}
