// Texts counted in UTF-16 units, trimming and splitting, percent escapes, encodings and UUIDs.
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUUID.h"
#include "platform/foundation/Utf8.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace S = NSString;

namespace {

NSStringEncoding encodingNamed(const char* name)
{
    return CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding(name));
}

} // namespace

TEST(Text, LengthsAndIndexesCountUtf16Units)
{
    EXPECT_EQ(S::length(""), 0u);
    EXPECT_EQ(S::length("abc"), 3u);
    EXPECT_EQ(S::length("粉丝"), 2u);
    EXPECT_EQ(S::length("a😀b"), 4u); // U+1F600 is a surrogate pair
    for (auto [index, unit] : { std::pair { 1, 0xd83d }, std::pair { 2, 0xde00 }, std::pair { 3, int { u'b' } } })
        EXPECT_EQ(S::characterAtIndex("a😀b", index), unit) << index;
    EXPECT_EQ(S::substringWithRange("a😀b粉", NSMakeRange(1, 3)), "😀b");
    EXPECT_EQ(S::substringWithRange("a😀b", NSMakeRange(0, 2)), "a\uFFFD"); // half a pair
    EXPECT_EQ(S::substringFromIndex("粉丝abc", 2), "abc");
    EXPECT_EQ(S::substringToIndex("粉丝abc", 1), "粉");
    EXPECT_EQ(S::rangeOfString("😀粉丝", "丝"), NSMakeRange(3, 1));
    EXPECT_EQ(S::rangeOfString("abc", "x").location, NSNotFound);
    EXPECT_EQ(S::rangeOfString("abc", "").location, NSNotFound);
    EXPECT_EQ(S::rangeOfString("aXbx", "x", NSCaseInsensitiveSearch | NSBackwardsSearch), NSMakeRange(3, 1));
    EXPECT_EQ(S::rangeOfString("Aps-Environment", "aps-environment", NSCaseInsensitiveSearch), NSMakeRange(0, 15));
}

TEST(Text, OutOfRangeRaisesRangeException)
{
    EXPECT_THROW(S::characterAtIndex("ab", 2), NSException);
    EXPECT_THROW(S::substringWithRange("ab", NSMakeRange(1, 2)), NSException);
    EXPECT_THROW(S::substringWithRange("ab", NSMakeRange(NSNotFound, 1)), NSException);
    try {
        S::substringFromIndex("ab", 3);
        FAIL();
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSRangeException);
    }
}

TEST(Text, ComparingTrimmingSplittingReplacing)
{
    EXPECT_EQ(S::caseInsensitiveCompare("GBK", "gbk"), NSOrderedSame);
    EXPECT_EQ(S::caseInsensitiveCompare("a", "B"), NSOrderedAscending);
    EXPECT_TRUE(S::hasPrefix("walletpay://x", "walletpay"));
    EXPECT_FALSE(S::hasPrefix("abc", ""));
    EXPECT_EQ(S::stringByTrimmingCharactersInSet(" \t粉丝 \u3000\n", NSCharacterSet::whitespaceAndNewlineCharacterSet()),
        "粉丝");
    EXPECT_EQ(S::stringByTrimmingCharactersInSet("  a b \n", NSCharacterSet::whitespaceCharacterSet()), "a b \n");
    EXPECT_EQ(S::stringByTrimmingCharactersInSet("   ", NSCharacterSet::whitespaceCharacterSet()), "");
    EXPECT_EQ(S::componentsSeparatedByString("a,,b", ","), (std::vector<std::string> { "a", "", "b" }));
    EXPECT_EQ(S::componentsSeparatedByString("", ","), (std::vector<std::string> { "" }));
    EXPECT_EQ(S::componentsSeparatedByString(" a 1.log", " "), (std::vector<std::string> { "", "a", "1.log" }));
    EXPECT_EQ(S::stringByReplacingOccurrencesOfString("a-b-c", "-", "--"), "a--b--c");
    EXPECT_EQ(S::stringByReplacingOccurrencesOfString("abc", "", "x"), "abc");
    EXPECT_EQ(S::lowercaseString("ABC-Ä粉"), "abc-ä粉");
    EXPECT_EQ(S::integerValue(" 12abc"), 12);
    EXPECT_TRUE(S::boolValue("YES"));
}

TEST(Text, PathTexts)
{
    EXPECT_EQ(S::lastPathComponent("/a/b.txt"), "b.txt");
    EXPECT_EQ(S::lastPathComponent("/a/b/"), "b");
    EXPECT_EQ(S::lastPathComponent("/"), "/");
    EXPECT_EQ(S::pathExtension("/x/ZHHttpTool.m"), "m");
    EXPECT_EQ(S::pathExtension("/x/.hidden"), "");
    EXPECT_EQ(S::stringByDeletingPathExtension("/x/file.tar.gz"), "/x/file.tar");
    EXPECT_EQ(S::stringByDeletingLastPathComponent("/a/b"), "/a");
    EXPECT_EQ(S::stringByDeletingLastPathComponent("/a"), "/");
    EXPECT_EQ(S::stringByAppendingPathComponent("/a/", "/b"), "/a/b");
    EXPECT_EQ(S::pathComponents("/a//b/"), (std::vector<std::string> { "/", "a", "b", "/" }));
}

TEST(Text, PercentEscapesRoundTripAndRejectBadEscapes)
{
    auto query = NSCharacterSet::URLQueryAllowedCharacterSet();
    query.removeCharactersInString(":#[]@!$&'()*+,;=");
    const std::tuple<const char*, NSCharacterSet, const char*> escapes[] = {
        { "a b+c&d=粉/?~", query, "a%20b%2Bc%26d%3D%E7%B2%89/?~" }, { "\xff", query, "%FF" },
        { "a[]", NSCharacterSet::URLHostAllowedCharacterSet(), "a[]" },
        { "a?#", NSCharacterSet::URLPathAllowedCharacterSet(), "a%3F%23" },
        { "😀-x", NSCharacterSet::alphanumericCharacterSet(), "%F0%9F%98%80%2Dx" },
        { "粉丝", NSCharacterSet::alphanumericCharacterSet(), "粉丝" }, // letters of other scripts are alphanumerics too
    };
    for (const auto& [text, allowed, escaped] : escapes)
        EXPECT_EQ(S::stringByAddingPercentEncodingWithAllowedCharacters(text, allowed), escaped) << text;

    for (std::string text : { "", "plain", "a b&c=d%", "粉丝 😀", "{\"memo\":1}" }) {
        std::string escaped = S::stringByAddingPercentEncodingWithAllowedCharacters(text,
            NSCharacterSet::alphanumericCharacterSet());
        EXPECT_EQ(S::stringByRemovingPercentEncoding(escaped), text);
    }
    EXPECT_EQ(S::stringByRemovingPercentEncoding("%7b%22a%22%7D+"), "{\"a\"}+");
    EXPECT_EQ(S::stringByRemovingPercentEncoding("%"), std::nullopt);
    EXPECT_EQ(S::stringByRemovingPercentEncoding("%2"), std::nullopt);
    EXPECT_EQ(S::stringByRemovingPercentEncoding("%zz"), std::nullopt);
    EXPECT_EQ(S::stringByRemovingPercentEncoding("%FF"), std::nullopt); // not UTF-8
    EXPECT_EQ(S::stringByRemovingPercentEncoding("%E7%B2"), std::nullopt); // truncated sequence
    EXPECT_EQ(S::stringByRemovingPercentEncoding("%C0%AF"), std::nullopt); // overlong
}

TEST(Text, CharsetNamesMapToEncodings)
{
    for (auto [name, encoding] : { std::pair { "utf-8", NSUTF8StringEncoding }, std::pair { "ISO-8859-1", NSISOLatin1StringEncoding },
             std::pair { "us-ascii", NSASCIIStringEncoding }, std::pair { "UTF-16BE", NSUTF16BigEndianStringEncoding },
             std::pair { "GBK", NSStringEncoding { 0x80000631u } } })
        EXPECT_EQ(encodingNamed(name), encoding) << name;
    EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding("GBK"), kCFStringEncodingGBK_95);
    EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding("no-such-charset"), kCFStringEncodingInvalidId);
    EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(kCFStringEncodingInvalidId), kCFStringEncodingInvalidId);
}

TEST(Text, EncodingsConvertBothWaysOrRefuse)
{
    // Texts and their bytes, both ways. GBK and the other table charsets go through iconv.
    struct Case {
        const char* text;
        NSStringEncoding encoding;
        Bytes bytes;
    };
    const Case cases[] = {
        { "abc", NSASCIIStringEncoding, { 'a', 'b', 'c' } },
        { "é", NSISOLatin1StringEncoding, { 0xe9 } },
        { "a😀", NSUTF16LittleEndianStringEncoding, { 'a', 0, 0x3d, 0xd8, 0x00, 0xde } },
        { "{粉丝}", encodingNamed("gbk"), { '{', 0xb7, 0xdb, 0xcb, 0xbf, '}' } },
        { "€x", encodingNamed("WINDOWS-1252"), { 0x80, 'x' } },
        { "あ", encodingNamed("Shift_JIS"), { 0x82, 0xa0 } },
        { "粉", encodingNamed("gb2312"), { 0xb7, 0xdb } },
        { "\u0080", encodingNamed("gb18030"), { 0x81, 0x30, 0x81, 0x30 } },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S::dataUsingEncoding(c.text, c.encoding), c.bytes) << c.text;
        EXPECT_EQ(S::initWithData(c.bytes, c.encoding), c.text) << c.text;
    }
    for (auto [text, encoding] : { std::pair { "é", NSASCIIStringEncoding }, std::pair { "粉", NSISOLatin1StringEncoding },
             std::pair { "\xff", NSUTF8StringEncoding }, std::pair { "😀", encodingNamed("gbk") } })
        EXPECT_EQ(S::dataUsingEncoding(text, encoding), std::nullopt) << text;
    const std::pair<Bytes, NSStringEncoding> unreadable[] = { { { 0x00, 0xd8 }, NSUTF16LittleEndianStringEncoding },
        { { 0xe7, 0xb2 }, NSUTF8StringEncoding }, { { 0x80 }, NSASCIIStringEncoding }, { { 0xb7 }, encodingNamed("gbk") },
        { { 0, 'a', 0 }, NSUTF16StringEncoding }, { { 'a' }, 0x7777 } };
    for (const auto& [bytes, encoding] : unreadable)
        EXPECT_EQ(S::initWithData(bytes, encoding), std::nullopt) << bytes.size() << " bytes in " << encoding;

    // Every byte reads as Latin-1 and writes back the same.
    Bytes all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<std::uint8_t>(b));
    auto latin = S::initWithData(all, NSISOLatin1StringEncoding);
    ASSERT_TRUE(latin);
    EXPECT_EQ(S::length(*latin), 256u);
    EXPECT_EQ(S::dataUsingEncoding(*latin, NSISOLatin1StringEncoding), all);

    // UTF-16 with a byte-order mark either way; without one, big-endian.
    for (const Bytes& bytes : { Bytes { 0xfe, 0xff, 0, 'a' }, Bytes { 0xff, 0xfe, 'a', 0 }, Bytes { 0, 'a' } })
        EXPECT_EQ(S::initWithData(bytes, NSUTF16StringEncoding), "a") << bytes.size();
    EXPECT_EQ(S::initWithData(*S::dataUsingEncoding("a", NSUTF16StringEncoding), NSUTF16StringEncoding), "a");
    EXPECT_TRUE(S::canBeConvertedToEncoding("plain", NSASCIIStringEncoding));
    EXPECT_FALSE(S::canBeConvertedToEncoding("Scale/2.00 粉", NSASCIIStringEncoding));
}

TEST(Text, UUIDsAreRandomUppercaseVersionFour)
{
    std::set<std::string> seen;
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    for (int i = 0; i < 50; ++i) {
        std::string text = NSUUID().UUIDString();
        EXPECT_TRUE(std::regex_match(text, form)) << text;
        seen.insert(text);
        EXPECT_EQ(NSUUID::initWithUUIDString(text)->UUIDString(), text);
    }
    EXPECT_EQ(seen.size(), 50u);
    EXPECT_FALSE(NSUUID::initWithUUIDString("not-a-uuid"));
    EXPECT_FALSE(NSUUID::initWithUUIDString("0000000000000000000000000000000000000"));
}

TEST(Text, Utf8DecodingRejectsMalformedSequences)
{
    using namespace foundation::utf8;
    EXPECT_TRUE(isValid("粉丝 😀 é"));
    // Overlong, truncated and stray bytes also fail the percent-escape and encoding tests above.
    for (std::string bad : { "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xf8\x88\x80\x80\x80", "\x80" })
        EXPECT_FALSE(isValid(bad)) << bad.size();
    // Malformed bytes count as one replacement character each, never more.
    EXPECT_EQ(utf16Length(std::string("a\xe7\xb2")), 3u);
    EXPECT_EQ(toUtf16(std::string("\xff")), u"\uFFFD");
    EXPECT_EQ(fromUtf16(u"a\xD800"), "a\uFFFD");
    EXPECT_EQ(fromUtf16(u"\xDC00\xD83D\xDE00"), "\uFFFD😀");
    std::string out;
    append(out, 0xd800);
    append(out, 0x110000);
    EXPECT_EQ(out, "\uFFFD\uFFFD");
}

TEST(Text, CharacterSetsFromTextsAndRemovals)
{
    auto set = NSCharacterSet::characterSetWithCharactersInString("ab粉");
    EXPECT_TRUE(set.characterIsMember(U'粉'));
    EXPECT_FALSE(set.characterIsMember(U'丝'));
    set.removeCharactersInString("a粉");
    EXPECT_FALSE(set.characterIsMember('a'));
    EXPECT_FALSE(set.characterIsMember(U'粉'));
    EXPECT_TRUE(set.characterIsMember('b'));

    auto alnum = NSCharacterSet::alphanumericCharacterSet();
    alnum.removeCharactersInString("é");
    EXPECT_FALSE(alnum.characterIsMember(U'é'));
    EXPECT_TRUE(alnum.characterIsMember(U'è'));
}

TEST(Text, UrlAllowedSetsHoldTheirDelimiters)
{
    auto escapes = [](const NSCharacterSet& set) {
        std::string escaped;
        for (char c : std::string_view(":/?#[]@!$&'()*+,;= %\"<>"))
            if (!set.characterIsMember(static_cast<unsigned char>(c)))
                escaped += c;
        return escaped;
    };
    EXPECT_EQ(escapes(NSCharacterSet::URLQueryAllowedCharacterSet()), "#[] %\"<>");
    EXPECT_EQ(escapes(NSCharacterSet::URLFragmentAllowedCharacterSet()), "#[] %\"<>");
    EXPECT_EQ(escapes(NSCharacterSet::URLPathAllowedCharacterSet()), "?#[] %\"<>");
    EXPECT_EQ(escapes(NSCharacterSet::URLHostAllowedCharacterSet()), "/?#@ %\"<>");
    EXPECT_EQ(escapes(NSCharacterSet::URLUserAllowedCharacterSet()), ":/?#[]@ %\"<>");
    EXPECT_EQ(escapes(NSCharacterSet::URLPasswordAllowedCharacterSet()), ":/?#[]@ %\"<>");
    for (char c : std::string_view("-._~azAZ09"))
        EXPECT_TRUE(NSCharacterSet::URLUserAllowedCharacterSet().characterIsMember(static_cast<unsigned char>(c)));
    EXPECT_FALSE(NSCharacterSet::URLQueryAllowedCharacterSet().characterIsMember(U'é'));
}
