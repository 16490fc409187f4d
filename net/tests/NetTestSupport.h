// Shared pieces of the HTTP stack's tests: a fixture whose thread is the main thread, with no
// URL cache and the test CA as the only system root, and small helpers.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/network/NSURLCache.h"
#include "platform/security/SecTrust.h"
#include "platform/threading/NSThread.h"
#include "testing/RunLoopPump.h"
#include "testing/httpserver/TestCertificates.h"

namespace net::test {

inline SecCertificateRef certificateOf(const httpserver::Certificate& c) { return SecCertificateCreateWithData(c.der()); }

class NetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        threading::becomeMainThread();
        security::setSystemAnchorCertificates({ certificateOf(certs.ca()) });
        NSURLCache::setSharedURLCache(std::make_shared<NSURLCache>(0, 0, ""));
    }
    void TearDown() override
    {
        testing_support::settle(2);
        security::resetSystemAnchorCertificates();
    }
    static bool waitFor(const std::function<bool()>& predicate, double seconds = 10)
    {
        return testing_support::runUntil(predicate, seconds);
    }
    const httpserver::TestCertificates& certs = httpserver::TestCertificates::shared();
};

inline std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

} // namespace net::test
