// A loopback HTTP sink for upload benchmarks: reads each request's body by Content-Length and
// throws it away as it comes (the shared test server keeps bodies in memory), then answers
// with a small JSON reply carrying the byte count.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class UploadSink {
public:
    UploadSink();
    ~UploadSink();
    std::string url(const std::string& path) const;
    std::uint64_t lastBodyBytes() const { return lastBody_; }

private:
    void serve();
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_ { false };
    std::atomic<std::uint64_t> lastBody_ { 0 };
    std::thread thread_;
};
