// Texts counted in UTF-16 units, trimming and splitting, percent escapes, encodings and UUIDs.
#include "platform/foundation/NSException.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSUUID.h"
#include "platform/foundation/Utf8.h"

#include <gtest/gtest.h>
#include <set>

namespace S = NSString;

TEST(Text, LengthsAndIndexesCountUtf16Units)
{
    EXPECT_EQ(S::length(""), 0u);
    EXPECT_EQ(S::length("abc"), 3u);
    EXPECT_EQ(S::length("粉丝"), 2u);
    EXPECT_EQ(S::length("a😀b"), 4u); // U+1F600 is a surrogate pair
    EXPECT_EQ(S::characterAtIndex("a😀b", 1), 0xd83d);
    EXPECT_EQ(S::characterAtIndex("a😀b", 2), 0xde00);
    EXPECT_EQ(S::characterAtIndex("a😀b", 3), u'b');
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
    EXPECT_EQ(S::compare("b", "a"), NSOrderedDescending);
    EXPECT_TRUE(S::hasPrefix("walletpay://x", "walletpay"));
    EXPECT_FALSE(S::hasPrefix("abc", ""));
    EXPECT_TRUE(S::hasSuffix("a.log", ".log"));
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
    EXPECT_EQ(S::uppercaseString("abc"), "ABC");
    EXPECT_EQ(S::integerValue(" 12abc"), 12);
    EXPECT_DOUBLE_EQ(S::doubleValue("7.1"), 7.1);
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
    EXPECT_EQ(S::stringByAddingPercentEncodingWithAllowedCharacters("a b+c&d=粉/?~", query),
        "a%20b%2Bc%26d%3D%E7%B2%89/?~");
    EXPECT_EQ(S::stringByAddingPercentEncodingWithAllowedCharacters("a[]", NSCharacterSet::URLHostAllowedCharacterSet()),
        "a[]");
    EXPECT_EQ(S::stringByAddingPercentEncodingWithAllowedCharacters("a?#", NSCharacterSet::URLPathAllowedCharacterSet()),
        "a%3F%23");
    EXPECT_EQ(S::stringByAddingPercentEncodingWithAllowedCharacters("😀-x", NSCharacterSet::alphanumericCharacterSet()),
        "%F0%9F%98%80%2Dx");
    // Letters of other scripts are alphanumerics too.
    EXPECT_EQ(S::stringByAddingPercentEncodingWithAllowedCharacters("粉丝", NSCharacterSet::alphanumericCharacterSet()),
        "粉丝");
    EXPECT_EQ(S::stringByAddingPercentEncodingWithAllowedCharacters(std::string("\xff"), query), "%FF");

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
    EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding("utf-8")),
        NSUTF8StringEncoding);
    EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding("ISO-8859-1")),
        NSISOLatin1StringEncoding);
    EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding("us-ascii")),
        NSASCIIStringEncoding);
    EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding("GBK"), kCFStringEncodingGBK_95);
    EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(kCFStringEncodingGBK_95), 0x80000631u);
    EXPECT_EQ(CFStringConvertIANACharSetNameToEncoding("no-such-charset"), kCFStringEncodingInvalidId);
    EXPECT_EQ(CFStringConvertEncodingToNSStringEncoding(kCFStringEncodingInvalidId), kCFStringEncodingInvalidId);
}

TEST(Text, EncodingsConvertOrRefuse)
{
    EXPECT_EQ(S::dataUsingEncoding("abc", NSASCIIStringEncoding), (Bytes { 'a', 'b', 'c' }));
    EXPECT_EQ(S::dataUsingEncoding("é", NSASCIIStringEncoding), std::nullopt);
    EXPECT_EQ(S::dataUsingEncoding("é", NSISOLatin1StringEncoding), (Bytes { 0xe9 }));
    EXPECT_EQ(S::dataUsingEncoding("粉", NSISOLatin1StringEncoding), std::nullopt);
    EXPECT_EQ(S::dataUsingEncoding(std::string("\xff"), NSUTF8StringEncoding), std::nullopt);
    EXPECT_EQ(S::dataUsingEncoding("a😀", NSUTF16LittleEndianStringEncoding), (Bytes { 'a', 0, 0x3d, 0xd8, 0x00, 0xde }));
    EXPECT_EQ(S::initWithData(Bytes { 0xfe, 0xff, 0, 'a' }, NSUTF16StringEncoding), "a");
    EXPECT_EQ(S::initWithData(Bytes { 0x00, 0xd8 }, NSUTF16LittleEndianStringEncoding), std::nullopt);

    // Every byte reads as Latin-1 and writes back the same.
    Bytes all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<std::uint8_t>(b));
    auto latin = S::initWithData(all, NSISOLatin1StringEncoding);
    ASSERT_TRUE(latin);
    EXPECT_EQ(S::length(*latin), 256u);
    EXPECT_EQ(S::dataUsingEncoding(*latin, NSISOLatin1StringEncoding), all);

    EXPECT_EQ(S::initWithData(Bytes { 0xe7, 0xb2 }, NSUTF8StringEncoding), std::nullopt);
    EXPECT_EQ(S::initWithData(Bytes { 0x80 }, NSASCIIStringEncoding), std::nullopt);

    // GBK through iconv: "粉丝" is B7 DB CB BF.
    NSStringEncoding gbk = CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding("gbk"));
    EXPECT_EQ(S::dataUsingEncoding("粉丝", gbk), (Bytes { 0xb7, 0xdb, 0xcb, 0xbf }));
    EXPECT_EQ(S::initWithData(Bytes { '{', 0xb7, 0xdb, 0xcb, 0xbf, '}' }, gbk), "{粉丝}");
    EXPECT_EQ(S::initWithData(Bytes { 0xb7 }, gbk), std::nullopt); // truncated
    EXPECT_EQ(S::dataUsingEncoding("😀", gbk), std::nullopt);
    EXPECT_EQ(S::initWithData(Bytes { 'a' }, 0x7777), std::nullopt);
}

TEST(Text, UUIDsAreRandomUppercaseVersionFour)
{
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        std::string text = NSUUID().UUIDString();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[8], '-');
        EXPECT_EQ(text[23], '-');
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        EXPECT_EQ(S::uppercaseString(text), text);
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
    for (std::string bad : { std::string("\xc0\xaf"), std::string("\xe0\x80\xaf"), std::string("\xed\xa0\x80"),
             std::string("\xf4\x90\x80\x80"), std::string("\xf8\x88\x80\x80\x80"), std::string("\xe7\xb2"),
             std::string("\x80"), std::string("a\xff") })
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

TEST(Text, CharacterSetsAddRemoveAndInvert)
{
    auto set = NSCharacterSet::characterSetWithCharactersInString("ab粉");
    EXPECT_TRUE(set.characterIsMember(U'粉'));
    EXPECT_FALSE(set.characterIsMember(U'丝'));
    set.removeCharactersInString("a粉");
    EXPECT_FALSE(set.characterIsMember('a'));
    EXPECT_FALSE(set.characterIsMember(U'粉'));
    EXPECT_TRUE(set.characterIsMember('b'));
    auto inverted = set.invertedSet();
    EXPECT_FALSE(inverted.characterIsMember('b'));
    EXPECT_TRUE(inverted.characterIsMember(U'粉'));
    inverted.addCharactersInString("b");
    EXPECT_TRUE(inverted.characterIsMember('b'));

    auto alnum = NSCharacterSet::alphanumericCharacterSet();
    alnum.removeCharactersInString("é");
    EXPECT_FALSE(alnum.characterIsMember(U'é'));
    EXPECT_TRUE(alnum.characterIsMember(U'è'));
    EXPECT_TRUE(NSCharacterSet::decimalDigitCharacterSet().characterIsMember(U'٣'));
    EXPECT_FALSE(NSCharacterSet::decimalDigitCharacterSet().characterIsMember('a'));
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

TEST(Text, MoreEncodingsThroughTheCharsetTable)
{
    auto encodingNamed = [](const char* name) {
        return CFStringConvertEncodingToNSStringEncoding(CFStringConvertIANACharSetNameToEncoding(name));
    };
    EXPECT_EQ(S::initWithData(Bytes { 0x80, 'x' }, encodingNamed("windows-1252")), "€x");
    EXPECT_EQ(S::dataUsingEncoding("€", encodingNamed("WINDOWS-1252")), (Bytes { 0x80 }));
    EXPECT_EQ(S::dataUsingEncoding("あ", encodingNamed("Shift_JIS")), (Bytes { 0x82, 0xa0 }));
    EXPECT_EQ(S::initWithData(Bytes { 0xb7, 0xdb }, encodingNamed("gb2312")), "粉");
    EXPECT_EQ(S::initWithData(Bytes { 0x81, 0x30, 0x81, 0x30 }, encodingNamed("gb18030")), "\u0080");
    EXPECT_EQ(encodingNamed("UTF-16BE"), NSUTF16BigEndianStringEncoding);
    // UTF-16 with a byte-order mark either way; without one, big-endian.
    EXPECT_EQ(S::initWithData(Bytes { 0xff, 0xfe, 'a', 0 }, NSUTF16StringEncoding), "a");
    EXPECT_EQ(S::initWithData(Bytes { 0, 'a' }, NSUTF16StringEncoding), "a");
    EXPECT_EQ(S::initWithData(Bytes { 0, 'a', 0 }, NSUTF16StringEncoding), std::nullopt);
    auto withMark = S::dataUsingEncoding("a", NSUTF16StringEncoding);
    EXPECT_EQ(S::initWithData(*withMark, NSUTF16StringEncoding), "a");
    EXPECT_TRUE(S::canBeConvertedToEncoding("plain", NSASCIIStringEncoding));
    EXPECT_FALSE(S::canBeConvertedToEncoding("Scale/2.00 粉", NSASCIIStringEncoding));
}
