// Hostile replies against the body limits: an endless chunked body, a huge Content-Length and a
// gzip bomb each fail with NSURLErrorDataLengthExceedsMaximum while the process stays small,
// whether the body is gathered (a completion handler, a synchronous load) or streamed to a
// delegate that keeps none of it; a streamed plain body is not limited.
#include <gtest/gtest.h>

#include <zlib.h>

#include <future>
#include <random>

#include "platform/network/NSURLConnection.h"
#include "platform/network/NSURLSession.h"
#include "platform/network/URLError.h"
#include "platform/network/tests/PeakMemory.h"
#include "testing/TempHome.h"
#include "testing/httpserver/TestServer.h"

using network::test::PeakGrowth;
using httpserver::Reply;
using httpserver::TestServer;

namespace {

constexpr std::int64_t MiB = 1 << 20;

std::string gzipped(const std::string& piece, std::size_t repeats)
{
    z_stream z {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    std::string out;
    char buffer[64 * 1024];
    for (std::size_t i = 0; i <= repeats; ++i) {
        bool last = i == repeats;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        z.avail_in = last ? 0 : static_cast<uInt>(piece.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

// Text that compresses only a few times over.
std::string numbers(std::size_t length)
{
    std::string text;
    for (std::minstd_rand random(12345); text.size() < length;)
        text += std::to_string(random()) + ",";
    text.resize(length);
    return text;
}

enum class Consumer { CompletionHandler, Synchronous, StreamingDelegate };
enum class LimitOn { Default, Request, Configuration };

struct Outcome {
    std::shared_ptr<NSError> error;
    std::int64_t bytes = 0; // gathered or streamed
};

// Counts what is streamed to it and keeps none of it.
class Streamer : public NSURLSessionDelegate {
public:
    void dataTaskDidReceiveData(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionDataTask>&,
        const Bytes& data) override { bytes += static_cast<std::int64_t>(data.size()); }
    void taskDidCompleteWithError(const std::shared_ptr<NSURLSession>&, const std::shared_ptr<NSURLSessionTask>&,
        const std::shared_ptr<NSError>& e) override { done.set_value(e); }
    std::atomic<std::int64_t> bytes { 0 };
    std::promise<std::shared_ptr<NSError>> done;
};

Outcome load(const std::string& url, Consumer consumer, LimitOn on, std::int64_t limit)
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString(url));
    if (on == LimitOn::Request)
        request->setMaximumResponseBodyLength(limit);
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    if (on == LimitOn::Configuration)
        configuration->maximumResponseBodyLength = limit;
    if (consumer == Consumer::Synchronous) {
        Outcome outcome;
        auto data = NSURLConnection::sendSynchronousRequest(request, nullptr, &outcome.error);
        outcome.bytes = data ? static_cast<std::int64_t>(data->size()) : 0;
        return outcome;
    }
    auto streamer = std::make_shared<Streamer>();
    auto session = NSURLSession::sessionWithConfiguration(configuration, streamer, nullptr);
    auto gathered = [streamer](std::optional<Bytes> data, auto, auto) { streamer->bytes = data ? std::ssize(*data) : 0; };
    auto task = consumer == Consumer::StreamingDelegate ? session->dataTaskWithRequest(request)
                                                        : session->dataTaskWithRequest(request, gathered);
    task->resume();
    Outcome outcome { streamer->done.get_future().get(), 0 };
    outcome.bytes = streamer->bytes;
    session->finishTasksAndInvalidate();
    return outcome;
}

struct Case {
    const char* name;
    Reply reply;
    Consumer consumer;
    LimitOn on;
    std::int64_t limit;
    std::int64_t expectedCode; // 0: success
    std::int64_t expectedBytes; // on success
};

TEST(BodyLimit, HostileRepliesFailWithDataLengthExceedsMaximumAndTheProcessStaysSmall)
{
    testing_support::TempHome home;
    TestServer server;
    auto endless = [] { return Reply(200).body(1ull << 30, httpserver::repeating("endless ")).chunked(64 * 1024); };
    auto huge = [] { return Reply(200).body(1ull << 30, httpserver::repeating("x")).contentLength(1'000'000'000'000ull); };
    const std::string bombBody = gzipped(std::string(MiB, '\0'), 256); // 256 MiB of zeros in about a quarter of a MiB
    auto bomb = [&] { return Reply(200).header("Content-Encoding", "gzip").body(bombBody); };
    std::string text = numbers(2 * MiB);
    auto compressedText = [&] { return Reply(200).header("Content-Encoding", "gzip").body(gzipped(text, 1)); };
    const Case cases[] = {
        { "endless, completion handler, configuration limit", endless(), Consumer::CompletionHandler,
            LimitOn::Configuration, 4 * MiB, NSURLErrorDataLengthExceedsMaximum, 0 },
        { "endless, synchronous, request limit", endless(), Consumer::Synchronous, LimitOn::Request, 4 * MiB,
            NSURLErrorDataLengthExceedsMaximum, 0 },
        { "huge length, completion handler, default limit", huge(), Consumer::CompletionHandler, LimitOn::Default, 0,
            NSURLErrorDataLengthExceedsMaximum, 0 },
        { "huge length, synchronous, default limit", huge(), Consumer::Synchronous, LimitOn::Default, 0,
            NSURLErrorDataLengthExceedsMaximum, 0 },
        { "gzip bomb, completion handler, default limit", bomb(), Consumer::CompletionHandler, LimitOn::Default, 0,
            NSURLErrorDataLengthExceedsMaximum, 0 },
        { "gzip bomb, streaming delegate, default limit", bomb(), Consumer::StreamingDelegate, LimitOn::Default, 0,
            NSURLErrorDataLengthExceedsMaximum, 0 },
        { "gzip text past the limit, streaming delegate", compressedText(), Consumer::StreamingDelegate,
            LimitOn::Request, MiB / 2, NSURLErrorDataLengthExceedsMaximum, 0 },
        { "gzip text within the limit, completion handler", compressedText(), Consumer::CompletionHandler,
            LimitOn::Default, 0, 0, 2 * MiB },
        { "plain body past the limit, streaming delegate", Reply(200).body(8 * MiB, httpserver::repeating("s")),
            Consumer::StreamingDelegate, LimitOn::Request, MiB, 0, 8 * MiB },
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = "/case" + std::to_string(index++);
        server.on(path, c.reply);
        PeakGrowth growth;
        auto outcome = load(server.url(path), c.consumer, c.on, c.limit);
        // Sanitizer quarantine included; without the limits these replies take gigabytes.
        EXPECT_LT(growth.mebibytes(), 128);
        if (c.expectedCode == 0) {
            EXPECT_FALSE(outcome.error) << (outcome.error ? outcome.error->description() : "");
            EXPECT_EQ(outcome.bytes, c.expectedBytes);
            continue;
        }
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->domain(), NSURLErrorDomain);
        EXPECT_EQ(outcome.error->code(), c.expectedCode);
        EXPECT_EQ(outcome.error->localizedDescription(), "resource exceeds maximum size");
    }
}

} // namespace
