// The formatter and the log: "%@" beside the C conversions the app quotes, missing arguments,
// and the "%@" texts of nested containers and errors.
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSURL.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <mutex>
#include <thread>

using NSString::stringWithFormat;

TEST(Format, ObjectsPrintTheirDescription)
{
    EXPECT_EQ(stringWithFormat("%@%@?type=1", "http://127.0.0.1:8091/", "data/qryLearn.do"),
        "http://127.0.0.1:8091/data/qryLearn.do?type=1");
    EXPECT_EQ(stringWithFormat("%@", Value(7.0)), "7");
    EXPECT_EQ(stringWithFormat("%@", Value()), "(null)");
    EXPECT_EQ(stringWithFormat("%@", Value::null()), "<null>");
    EXPECT_EQ(stringWithFormat("%@", true), "1");
    EXPECT_EQ(stringWithFormat("%@_%@", std::string("dv_uuidForDevice"), std::string_view("AB")), "dv_uuidForDevice_AB");
    // Value types with a description print it.
    EXPECT_EQ(stringWithFormat("<%@>", *NSURL::URLWithString("http://a/b")), "<http://a/b>");
    const char* none = nullptr;
    EXPECT_EQ(stringWithFormat("%@|%s", none, none), "(null)|(null)");
}

TEST(Format, MissingArgumentsNeverReadPastTheList)
{
    EXPECT_EQ(stringWithFormat("标题：%@ \n内容：%@", "a"), "标题：a \n内容：(null)");
    EXPECT_EQ(stringWithFormat("%d-%lu-%0.2f-%s-%x", 5), "5-0-0.00-(null)-0");
    EXPECT_EQ(stringWithFormat("%*d|", 4), "   0|"); // "*" took the 4; the value is missing
    EXPECT_EQ(stringWithFormat("%n%d", 1, 2), "2");
}

TEST(Format, IntegerConversionsWithLengthModifiers)
{
    EXPECT_EQ(stringWithFormat("缩略图:%lu bytes", std::size_t { 2048 }), "缩略图:2048 bytes");
    EXPECT_EQ(stringWithFormat("bytes=%llu-", UINT64_MAX), "bytes=18446744073709551615-");
    EXPECT_EQ(stringWithFormat("%lld", INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(stringWithFormat("%u", -1), "4294967295");
    EXPECT_EQ(stringWithFormat("%d", 4294967297LL), "1"); // int-sized, as C would read it
    EXPECT_EQ(stringWithFormat("%hu", 65537), "1");
    EXPECT_EQ(stringWithFormat("%@:%hu", "10.0.0.1", std::uint16_t { 5223 }), "10.0.0.1:5223");
    EXPECT_EQ(stringWithFormat("%zd|%zu|%i", -3, std::size_t { 3 }, 9), "-3|3|9");
    EXPECT_EQ(stringWithFormat("%x|%X|%02x|%#x", 255, 255, 10, 255), "ff|FF|0a|0xff");
    EXPECT_EQ(stringWithFormat("[%5d][%-5d][%05d][%+d]", 42, 42, 42, 42), "[   42][42   ][00042][+42]");
    // Numbers given as strings are read leniently.
    EXPECT_EQ(stringWithFormat("%ld", Value(" 12abc")), "12");
    EXPECT_EQ(stringWithFormat("%d", 3.9), "3");
}

TEST(Format, FloatingConversions)
{
    EXPECT_EQ(stringWithFormat("Scale/%0.2f", 2.0), "Scale/2.00");
    EXPECT_EQ(stringWithFormat("%.1f|%f|%.0f", 0.25, 1.5, 2.5), "0.2|1.500000|2");
    EXPECT_EQ(stringWithFormat("%@;q=%0.1g", "en", static_cast<double>(1.0f)), "en;q=1");
    EXPECT_EQ(stringWithFormat("q=%0.1g", static_cast<double>(1 + 1 * -0.1f)), "q=0.9");
    EXPECT_EQ(stringWithFormat("%g|%g", 0.0001, 1e20), "0.0001|1e+20");
    EXPECT_EQ(stringWithFormat("%.0f", Value("3.7")), "4");
    EXPECT_EQ(stringWithFormat("( %.0f, %.0f )", 320, 568.0f), "( 320, 568 )");
}

TEST(Format, TextsCharactersAndPointers)
{
    EXPECT_EQ(stringWithFormat("%s name: %@", "PUSHPost", "n"), "PUSHPost name: n");
    EXPECT_EQ(stringWithFormat("[%5s][%-3s][%.2s]", "ab", "x", "hello"), "[   ab][x  ][he]");
    EXPECT_EQ(stringWithFormat("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(stringWithFormat("%C", char16_t { 0x4e1d }), "丝");
    EXPECT_EQ(stringWithFormat("100%% %@", "done"), "100% done");
    EXPECT_EQ(stringWithFormat("[%6@][%-4@]", "粉丝", "a"), "[    粉丝][a   ]");
    int x = 0;
    EXPECT_TRUE(stringWithFormat("%p", &x).starts_with("0x"));
    EXPECT_EQ(stringWithFormat("%p", nullptr), "0x0");
    // Texts that are no conversion stand as written.
    EXPECT_EQ(stringWithFormat("50%", 1), "50%");
    EXPECT_EQ(stringWithFormat("%k%d", 7), "%k7");
}

TEST(Format, NestedContainersDescribeInPropertyListStyle)
{
    Value reply = Value::dictionary({ { "status", 1 }, { "msg", "没有" },
        { "info", Value::array({ Value::dictionary({ { "id", 3 }, { "name", "a b" } }), Value::null(), 2.5 }) } });
    EXPECT_EQ(stringWithFormat("%@", reply),
        "{\n    info =     (\n                {\n            id = 3;\n            name = \"a b\";\n        },\n"
        "        \"<null>\",\n        \"2.5\"\n    );\n    msg = \"\\U6ca1\\U6709\";\n    status = 1;\n}");
    EXPECT_EQ(stringWithFormat("%@", Value::array()), "(\n)");
    EXPECT_EQ(stringWithFormat("%@", Value::date(-1.5)), "1969-12-31 23:59:58 +0000");
}

TEST(Format, ErrorsInValuesPrintTheirDescription)
{
    auto error = NSError::errorWithDomain(NSURLErrorDomain, -1001,
        Value::dictionary({ { NSLocalizedDescriptionKey, "The request timed out." } }));
    std::string text = stringWithFormat("errror:%@", error);
    EXPECT_EQ(text.rfind("errror:Error Domain=NSURLErrorDomain Code=-1001 \"The request timed out.\"", 0), 0u) << text;
    EXPECT_EQ(stringWithFormat("error: [%@] %@", Value(error->code()), error->localizedDescription()),
        "error: [-1001] The request timed out.");
}

TEST(Format, LogGoesToTheSinkAndThenToStandardError)
{
    std::vector<std::string> lines;
    foundation::setLogSink([&](const std::string& text) { lines.push_back(text); });
    NSLog("param:%@", Value::dictionary({ { "clientId", "abc" } }));
    NSLog("%@", "plain");
    foundation::setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "param:{\n    clientId = abc;\n}");
    EXPECT_EQ(lines[1], "plain");

    testing::internal::CaptureStderr();
    NSLog("to stderr %d", 5);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("] to stderr 5\n"), std::string::npos) << written;
    EXPECT_NE(written.find("[" + std::to_string(getpid()) + ":"), std::string::npos) << written;
}

TEST(Format, WidthsPrecisionsAndStarsAtTheirLimits)
{
    EXPECT_EQ(stringWithFormat("[%-*d]", -4, 7), "[7   ]"); // a negative "*" width aligns left
    EXPECT_EQ(stringWithFormat("[%.*f]", 3, 1.0), "[1.000]");
    EXPECT_EQ(stringWithFormat("[%.*s]", -1, "abc"), "[abc]"); // a negative precision is none
    EXPECT_EQ(stringWithFormat("%.3@", "a😀b"), "a😀"); // precision counts UTF-16 units, whole pairs only
    EXPECT_EQ(stringWithFormat("%.2@", "a😀b"), "a");
    EXPECT_EQ(stringWithFormat("%99999999999d", 1).size(), 100000u); // widths are clamped, not overflowed
    EXPECT_EQ(stringWithFormat("%.600f", 1.0).size(), 602u); // longer than the stack buffer
    EXPECT_EQ(stringWithFormat("%o|%e|%5.1f|%%%d", 8, 12345.678, 3.14159, 5), "10|1.234568e+04|  3.1|%5");
    EXPECT_EQ(stringWithFormat("%llu", -1), "18446744073709551615");
    EXPECT_EQ(stringWithFormat("%lld", UINT64_MAX), "-1");
    EXPECT_EQ(stringWithFormat("%hhd|%hhu", 300, -1), "44|255");
    EXPECT_EQ(stringWithFormat("%d", Value::null()), "0");
    EXPECT_EQ(stringWithFormat("%f", Value::array({ 1 })), "0.000000");
    EXPECT_EQ(stringWithFormat("%s", 42), "42");
    EXPECT_EQ(stringWithFormat("%c", 0), "");
}

TEST(Format, DescriptionsOfNumbersInsideContainersAreQuotedWhenNotPlain)
{
    EXPECT_EQ(stringWithFormat("%@", Value::array({ -1, 0.5, 7, true, "_$ok", "http://a/b" })),
        "(\n    \"-1\",\n    \"0.5\",\n    7,\n    1,\n    _$ok,\n    \"http://a/b\"\n)");
    EXPECT_EQ(stringWithFormat("%@", Value::dictionary({ { "d", Value::date(0) } })),
        "{\n    d = \"1970-01-01 00:00:00 +0000\";\n}");
    EXPECT_EQ(stringWithFormat("%@", Value::dictionary({ { "a", Value::dictionary({ { "b", Value::array() } }) } })),
        "{\n    a =     {\n        b =         (\n        );\n    };\n}");
}

TEST(Format, LogLinesFromManyThreadsAllArriveWhole)
{
    std::mutex mutex;
    std::vector<std::string> lines;
    foundation::setLogSink([&](const std::string& text) {
        std::lock_guard lock(mutex);
        lines.push_back(text);
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                NSLog("thread %d line %d", t, i);
        });
    for (auto& thread : threads)
        thread.join();
    foundation::setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 200u);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines.front(), "thread 0 line 0");
    EXPECT_EQ(std::unique(lines.begin(), lines.end()), lines.end());
}
