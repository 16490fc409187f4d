// Header packing, routing flags and acknowledgement timer of outgoing requests.
#include "push/Network/PUSHRequest.h"

#include "platform/foundation/Format.h"
#include "platform/threading/NSRunLoop.h"
#include "push/Network/PUSHSessionLink.h"

PUSHRequest::PUSHRequest()
{
    if (auto link = push::currentSessionLink())
        setRid(link->getRId(0));
}

PUSHRequest::~PUSHRequest() { stopAckTimeoutTimer(); }

bool PUSHRequest::packData(push::PacketWriter&) { return true; }

std::optional<Bytes> PUSHRequest::packetData()
{
    auto link = push::currentSessionLink();
    push::PacketWriter writer(128);
    writer.appendInt16(0);
    writer.appendInt8(version());
    writer.appendInt8(protocolType());
    writer.appendInt64(rid());
    writer.appendInt32(link ? link->currentSessionID() : 0);
    writer.appendInt64(link ? link->currentUid() : 0);
    packData(writer);
    if (!writer.setPacketLen())
        return std::nullopt;
    return writer.take();
}

void PUSHRequest::send()
{
    if (auto link = push::currentSessionLink())
        link->sendRequest(sharedAs<PUSHRequest>());
}

std::shared_ptr<PUSHRequest> PUSHRequest::copy() const
{
    std::shared_ptr<PUSHRequest> twin = PUSHPlainRequest::create(version(), protocolType(), controlFlag_);
    twin->copyRequestFrom(*this);
    return twin;
}

void PUSHRequest::encodeWithCoder(NSCoder& coder) const
{
    PUSHNetElement::encodeWithCoder(coder);
    coder.encodeInt32(controlFlag_, kPUSHRequestControlFlagKey);
    coder.encodeObject(Value(Bytes {}), kPUSHRequestPackageDataKey);
}

bool PUSHRequest::initWithCoder(NSCoder& coder)
{
    if (!PUSHNetElement::initWithCoder(coder))
        return false;
    controlFlag_ = static_cast<std::uint8_t>(coder.decodeInt32ForKey(kPUSHRequestControlFlagKey));
    return true;
}

void PUSHRequest::copyRequestFrom(const PUSHRequest& other)
{
    copyElementFrom(other);
    controlFlag_ = other.controlFlag_;
}

void PUSHRequest::startAckTimeoutTimer()
{
    stopAckTimeoutTimer();
    std::weak_ptr<PUSHRequest> weak = sharedAs<PUSHRequest>();
    auto timer = NSTimer::scheduledTimerWithTimeInterval(kAckTimeout, false, [weak](const std::shared_ptr<NSTimer>& fired) {
        auto self = weak.lock();
        if (!self || self->ackTimeoutTimer_.lock() != fired)
            return;
        self->stopAckTimeoutTimer();
        if (auto link = push::currentSessionLink())
            link->onAckTimeoutForRequest(self);
    });
    ackTimeoutTimer_ = timer;
}

void PUSHRequest::stopAckTimeoutTimer()
{
    if (auto timer = ackTimeoutTimer_.lock())
        timer->invalidate();
    ackTimeoutTimer_.reset();
}

std::string PUSHRequest::description() const { return PUSHNetElement::description(); }

std::shared_ptr<PUSHPlainRequest> PUSHPlainRequest::create(std::uint8_t version, std::uint8_t command, std::uint8_t flag)
{
    auto request = std::shared_ptr<PUSHPlainRequest>(new PUSHPlainRequest());
    request->setVersion(version);
    request->setProtocolType(command);
    request->setControlFlag(flag);
    return request;
}

std::shared_ptr<PUSHRequest> PUSHPlainRequest::copy() const
{
    auto twin = std::shared_ptr<PUSHPlainRequest>(new PUSHPlainRequest());
    twin->copyRequestFrom(*this);
    return twin;
}
