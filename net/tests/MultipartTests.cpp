// Multipart bodies: the exact bytes and Content-Length, reading in small pieces, file parts and
// their checks, names that try to break the framing, parts whose streams lie about their length,
// and writing a body into a file.
#include <filesystem>
#include <fstream>

#include "net/NKMultipartFormData.h"
#include "net/NKURLRequestSerialization.h"
#include "net/tests/NetTestSupport.h"
#include "platform/network/NSStream.h"
#include "testing/TempHome.h"

using namespace net::test;

namespace {

std::string readWhole(NSInputStream& stream, std::size_t chunk, std::int64_t* failure = nullptr)
{
    stream.open();
    std::string out;
    std::vector<std::uint8_t> buffer(chunk);
    for (;;) {
        std::int64_t got = stream.read(buffer.data(), buffer.size());
        if (got < 0) {
            if (failure)
                *failure = got;
            break;
        }
        if (got == 0)
            break;
        out.append(buffer.begin(), buffer.begin() + got);
    }
    stream.close();
    return out;
}

class Multipart : public NetTest {
protected:
    std::shared_ptr<NKHTTPRequestSerializer> serializer = NKHTTPRequestSerializer::serializer();
    testing_support::TempHome home;
    std::shared_ptr<NSMutableURLRequest> build(const Value& parameters, const NKHTTPRequestSerializer::MultipartBodyBlock& block)
    {
        return serializer->multipartFormRequestWithMethod("POST", "http://h/up", parameters, block);
    }
    static std::string boundaryOf(const NSURLRequest& request)
    {
        std::string type = *request.valueForHTTPHeaderField("Content-Type");
        return type.substr(type.find("boundary=") + 9);
    }
};

TEST_F(Multipart, BodyBytesAndContentLengthAreExact)
{
    auto request = build(Value::dictionary({ { "b", "2" }, { "a", "1" } }), [](NKMultipartFormData& form) {
        form.appendPartWithFileData(bytes("PNGDATA"), "pic", "p.png", "image/png");
    });
    std::string b = boundaryOf(*request);
    EXPECT_EQ(b.size(), 25u);
    EXPECT_EQ(b.rfind("Boundary+", 0), 0u);
    std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + b
        + "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\n2\r\n--" + b
        + "\r\nContent-Disposition: form-data; name=\"pic\"; filename=\"p.png\"\r\nContent-Type: image/png\r\n\r\n"
          "PNGDATA\r\n--"
        + b + "--\r\n";
    ASSERT_TRUE(request->HTTPBodyStream());
    EXPECT_FALSE(request->HTTPBody());
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
    // Copies of the stream (what a resend reads) give the same bytes, whatever the read size.
    for (std::size_t chunk : { 1, 3, 7, 64 }) {
        auto copy = request->HTTPBodyStream()->copyStream();
        ASSERT_TRUE(copy);
        EXPECT_EQ(readWhole(*copy, chunk), expected) << "chunk " << chunk;
    }
    EXPECT_EQ(readWhole(*request->HTTPBodyStream(), 100000), expected);
}

TEST_F(Multipart, NoPartsKeepsTheFormRequest)
{
    auto request = build(Value(), nullptr);
    EXPECT_FALSE(request->HTTPBodyStream());
    EXPECT_EQ(request->valueForHTTPHeaderField("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(text(*request->HTTPBody()), "");
}

TEST_F(Multipart, FilePartsAreCheckedAndSizedFromTheFileSystem)
{
    std::string path = home.pathFor("photo.jpg");
    std::ofstream(path) << "JPEGBYTES";
    NSErrorRef error;
    bool appended = false, notFile = true, missing = true;
    NSErrorRef notFileError, missingError;
    auto request = build(Value(), [&](NKMultipartFormData& form) {
        appended = form.appendPartWithFileURL(NSURL::fileURLWithPath(path), "f", &error);
        notFile = form.appendPartWithFileURL(*NSURL::URLWithString("http://h/x.jpg"), "g", &notFileError);
        missing = form.appendPartWithFileURL(NSURL::fileURLWithPath(home.pathFor("none.jpg")), "h", &missingError);
    });
    EXPECT_TRUE(appended);
    EXPECT_FALSE(notFile);
    EXPECT_FALSE(missing);
    EXPECT_EQ(notFileError->domain(), NKURLRequestSerializationErrorDomain);
    EXPECT_EQ(notFileError->code(), -1000);
    EXPECT_EQ(notFileError->localizedFailureReason(), "Expected URL to be a file URL");
    EXPECT_EQ(missingError->localizedFailureReason(), "File URL not reachable.");
    std::string body = readWhole(*request->HTTPBodyStream(), 4096);
    EXPECT_NE(body.find("name=\"f\"; filename=\"photo.jpg\"\r\nContent-Type: image/jpeg\r\n\r\nJPEGBYTES\r\n"),
        std::string::npos);
    EXPECT_EQ(std::to_string(body.size()), *request->valueForHTTPHeaderField("Content-Length"));
}

TEST_F(Multipart, NamesCannotEndTheQuotedTextOrStartHeadersAndParts)
{
    auto request = build(Value(), [](NKMultipartFormData& form) {
        form.appendPartWithFileData(
            bytes("x"), "a\"\r\nX-Injected: 1", "f\"\r\n\r\n--evil", "text/plain");
    });
    std::string body = readWhole(*request->HTTPBodyStream(), 4096);
    EXPECT_NE(body.find("name=\"a%22%0D%0AX-Injected: 1\"; filename=\"f%22%0D%0A%0D%0A--evil\""), std::string::npos);
    EXPECT_EQ(body.find("\r\nX-Injected"), std::string::npos);
}

TEST_F(Multipart, StreamPartsThatYieldAnotherLengthFailTheRead)
{
    for (std::uint64_t declared : { 10u, 3u }) {
        auto request = build(Value(), [&](NKMultipartFormData& form) {
            form.appendPartWithInputStream(NSInputStream::inputStreamWithData(bytes("12345")), "s", "s.bin", declared,
                "application/octet-stream");
        });
        std::int64_t failure = 0;
        std::string body = readWhole(*request->HTTPBodyStream(), 4096, &failure);
        EXPECT_EQ(failure, -1) << "declared " << declared;
        auto error = request->HTTPBodyStream()->streamError();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain(), NKURLRequestSerializationErrorDomain);
        // A body stream with a caller's stream cannot be made again.
        EXPECT_FALSE(request->HTTPBodyStream()->copyStream());
    }
}

TEST_F(Multipart, WritingTheBodyIntoAFileGivesTheSameBytesOrReportsTheError)
{
    struct Case {
        std::string path;
        std::optional<std::int64_t> posixError;
    };
    const Case cases[] = { { home.pathFor("body.bin"), std::nullopt }, { home.pathFor("no-such-folder/body.bin"), ENOENT } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto request = build(Value::dictionary({ { "k", "v" } }), [](NKMultipartFormData& form) {
            form.appendPartWithFileData(Bytes(5000, 'z'), "f", "z.bin", "application/octet-stream");
        });
        std::string expected = readWhole(*request->HTTPBodyStream()->copyStream(), 4096);
        bool done = false;
        NSErrorRef error;
        auto stripped = serializer->requestWithMultipartFormRequest(request, NSURL::fileURLWithPath(c.path), [&](NSErrorRef e) {
            error = e;
            done = true;
        });
        EXPECT_FALSE(stripped->HTTPBodyStream());
        ASSERT_TRUE(waitFor([&] { return done; }));
        if (c.posixError) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->domain(), NSPOSIXErrorDomain);
            EXPECT_EQ(error->code(), *c.posixError);
            continue;
        }
        EXPECT_FALSE(error);
        std::ifstream file(c.path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), expected);
    }
}

} // namespace
