// A fake address service on 127.0.0.1 UDP (port chosen by the kernel), with a thread of its
// own. It records every datagram (so it doubles as the UDP report sink) and answers address
// requests with the reply it was given: by default one that names a push server. It can also
// stay silent or answer from another port. Every member may be called from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Value.h"
#include "tools/pushserver/DiscoveryRequest.h"

namespace pushserver {

// The reply's fields; each empty one is left out of the JSON.
struct AddressReply {
    std::string user; // "h:p" of the user endpoint
    std::vector<std::string> ips; // [push server, default connection, HTTP report]
    std::vector<std::string> udpReport; // [UDP report address]
    std::vector<std::string> opConns; // alternative push servers
    bool includeOpConns = true; // "op_conns" even when empty

    // A reply sending the client to `pushServer` ("127.0.0.1:port").
    static AddressReply pointingAt(const std::string& pushServer);
    // The JSON text of the reply.
    std::string json() const;
};

class AddressService {
public:
    AddressService();
    ~AddressService();
    AddressService(const AddressService&) = delete;
    AddressService& operator=(const AddressService&) = delete;

    std::uint16_t port() const { return port_; }

    // The bytes sent in answer to each well-formed request.
    void setReply(const AddressReply& reply);
    void setReplyBytes(Bytes bytes);
    // While silent, requests are recorded but not answered.
    void setSilent(bool silent);
    // Answers from a second socket, so the reply comes from another port.
    void setAnswerFromOtherPort(bool other);

    // Every datagram received, in order.
    std::vector<Bytes> datagrams() const;
    // The well-formed address requests among them.
    std::vector<DiscoveryRequest> requests() const;
    // The JSON texts of the UDP reports among them (two length bytes, "UF", a JSON object); an
    // address request, framed alike but holding binary fields, is none.
    std::vector<std::string> reports() const;
    std::size_t answeredCount() const;

private:
    void run();

    int fd_ = -1;
    int otherFd_ = -1;
    int wakeFd_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    Bytes reply_;
    bool silent_ = false;
    bool otherPort_ = false;
    bool stopping_ = false;
    std::vector<Bytes> datagrams_;
    std::vector<DiscoveryRequest> requests_;
    std::size_t answered_ = 0;
    std::thread thread_;
};

} // namespace pushserver
