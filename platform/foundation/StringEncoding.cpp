// Encoding numbers, charset names and text <-> bytes conversion (see StringEncoding.h).
#include "platform/foundation/StringEncoding.h"

#include <cerrno>
#include <iconv.h>
#include <memory>

#include "platform/foundation/Utf8.h"

namespace {

struct CharsetName {
    const char* name;
    CFStringEncoding encoding;
};

constexpr CharsetName charsetNames[] = {
    { "utf-8", kCFStringEncodingUTF8 },
    { "utf8", kCFStringEncodingUTF8 },
    { "us-ascii", kCFStringEncodingASCII },
    { "ascii", kCFStringEncodingASCII },
    { "iso-8859-1", kCFStringEncodingISOLatin1 },
    { "iso8859-1", kCFStringEncodingISOLatin1 },
    { "iso_8859-1", kCFStringEncodingISOLatin1 },
    { "latin1", kCFStringEncodingISOLatin1 },
    { "iso-8859-2", kCFStringEncodingISOLatin2 },
    { "windows-1252", kCFStringEncodingWindowsLatin1 },
    { "cp1252", kCFStringEncodingWindowsLatin1 },
    { "windows-1251", kCFStringEncodingWindowsCyrillic },
    { "macintosh", kCFStringEncodingMacRoman },
    { "gbk", kCFStringEncodingGBK_95 },
    { "cp936", kCFStringEncodingGBK_95 },
    { "gb2312", kCFStringEncodingEUC_CN },
    { "euc-cn", kCFStringEncodingEUC_CN },
    { "gb18030", kCFStringEncodingGB_18030_2000 },
    { "big5", kCFStringEncodingBig5 },
    { "shift_jis", kCFStringEncodingShiftJIS },
    { "shift-jis", kCFStringEncodingShiftJIS },
    { "euc-jp", kCFStringEncodingEUC_JP },
    { "euc-kr", kCFStringEncodingEUC_KR },
    { "utf-16", kCFStringEncodingUTF16 },
    { "utf-16be", kCFStringEncodingUTF16BE },
    { "utf-16le", kCFStringEncodingUTF16LE },
};

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        if (x != b[i])
            return false;
    }
    return true;
}

// The iconv name of an encoding this file does not convert itself.
const char* iconvName(NSStringEncoding encoding)
{
    switch (encoding) {
    case NSJapaneseEUCStringEncoding:
        return "EUC-JP";
    case NSShiftJISStringEncoding:
        return "SHIFT_JIS";
    case NSISOLatin2StringEncoding:
        return "ISO-8859-2";
    case NSWindowsCP1251StringEncoding:
        return "CP1251";
    case NSWindowsCP1252StringEncoding:
        return "CP1252";
    case NSMacOSRomanStringEncoding:
        return "MACINTOSH";
    case 0x80000000 | kCFStringEncodingGBK_95:
        return "GBK";
    case 0x80000000 | kCFStringEncodingGB_18030_2000:
        return "GB18030";
    case 0x80000000 | kCFStringEncodingEUC_CN:
        return "EUC-CN";
    case 0x80000000 | kCFStringEncodingEUC_KR:
        return "EUC-KR";
    case 0x80000000 | kCFStringEncodingBig5:
        return "BIG5";
    case 0x80000000 | kCFStringEncodingShiftJIS:
        return "SHIFT_JIS";
    default:
        return nullptr;
    }
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// Converts all of `input`; nullopt on any byte or character the target cannot take.
std::optional<std::string> runIconv(const char* to, const char* from, std::string_view input)
{
    iconv_t raw = iconv_open(to, from);
    if (raw == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::unique_ptr<void, IconvCloser> cd(raw);
    std::string out;
    char buffer[4096];
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    for (;;) {
        char* o = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t r = iconv(raw, inLeft ? &in : nullptr, &inLeft, &o, &outLeft);
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        if (r != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) {
                // Flush any shift state.
                o = buffer;
                outLeft = sizeof buffer;
                iconv(raw, nullptr, nullptr, &o, &outLeft);
                out.append(buffer, static_cast<std::size_t>(o - buffer));
                return out;
            }
            continue;
        }
        if (errno != E2BIG)
            return std::nullopt; // EILSEQ or EINVAL (truncated input)
    }
}

Bytes toBytes(std::string_view s)
{
    return Bytes(s.begin(), s.end());
}

std::optional<Bytes> encodeUtf16(std::string_view s, bool bigEndian, bool byteOrderMark)
{
    if (!foundation::utf8::isValid(s))
        return std::nullopt;
    std::u16string units = foundation::utf8::toUtf16(s);
    Bytes out;
    out.reserve(units.size() * 2 + 2);
    auto put = [&](char16_t u) {
        out.push_back(static_cast<std::uint8_t>(bigEndian ? u >> 8 : u & 0xff));
        out.push_back(static_cast<std::uint8_t>(bigEndian ? u & 0xff : u >> 8));
    };
    if (byteOrderMark)
        put(0xfeff);
    for (char16_t u : units)
        put(u);
    return out;
}

std::optional<std::string> decodeUtf16(const Bytes& data, bool bigEndian, bool honourMark)
{
    if (data.size() % 2)
        return std::nullopt;
    std::size_t start = 0;
    if (honourMark && data.size() >= 2) {
        if (data[0] == 0xfe && data[1] == 0xff) {
            bigEndian = true;
            start = 2;
        } else if (data[0] == 0xff && data[1] == 0xfe) {
            bigEndian = false;
            start = 2;
        }
    }
    std::u16string units;
    for (std::size_t i = start; i < data.size(); i += 2)
        units += static_cast<char16_t>(bigEndian ? (data[i] << 8) | data[i + 1] : (data[i + 1] << 8) | data[i]);
    // Unpaired surrogates are invalid input.
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t u = units[i];
        if (u >= 0xd800 && u <= 0xdbff && i + 1 < units.size() && units[i + 1] >= 0xdc00 && units[i + 1] <= 0xdfff) {
            ++i;
            continue;
        }
        if (u >= 0xd800 && u <= 0xdfff)
            return std::nullopt;
    }
    return foundation::utf8::fromUtf16(units);
}

} // namespace

CFStringEncoding CFStringConvertIANACharSetNameToEncoding(std::string_view name)
{
    for (const CharsetName& entry : charsetNames)
        if (equalsIgnoringCase(name, entry.name))
            return entry.encoding;
    return kCFStringEncodingInvalidId;
}

NSStringEncoding CFStringConvertEncodingToNSStringEncoding(CFStringEncoding encoding)
{
    switch (encoding) {
    case kCFStringEncodingInvalidId:
        return kCFStringEncodingInvalidId;
    case kCFStringEncodingASCII:
        return NSASCIIStringEncoding;
    case kCFStringEncodingUTF8:
        return NSUTF8StringEncoding;
    case kCFStringEncodingISOLatin1:
        return NSISOLatin1StringEncoding;
    case kCFStringEncodingISOLatin2:
        return NSISOLatin2StringEncoding;
    case kCFStringEncodingWindowsLatin1:
        return NSWindowsCP1252StringEncoding;
    case kCFStringEncodingWindowsCyrillic:
        return NSWindowsCP1251StringEncoding;
    case kCFStringEncodingMacRoman:
        return NSMacOSRomanStringEncoding;
    case kCFStringEncodingEUC_JP:
        return NSJapaneseEUCStringEncoding;
    case kCFStringEncodingUTF16:
        return NSUTF16StringEncoding;
    case kCFStringEncodingUTF16BE:
        return NSUTF16BigEndianStringEncoding;
    case kCFStringEncodingUTF16LE:
        return NSUTF16LittleEndianStringEncoding;
    default:
        return 0x80000000ULL | encoding;
    }
}

namespace NSString {

std::optional<Bytes> dataUsingEncoding(std::string_view s, NSStringEncoding encoding)
{
    switch (encoding) {
    case NSUTF8StringEncoding:
        if (!foundation::utf8::isValid(s))
            return std::nullopt;
        return toBytes(s);
    case NSASCIIStringEncoding:
        for (char c : s)
            if (static_cast<unsigned char>(c) >= 0x80)
                return std::nullopt;
        return toBytes(s);
    case NSISOLatin1StringEncoding: {
        Bytes out;
        out.reserve(s.size());
        std::size_t i = 0;
        while (i < s.size()) {
            std::optional<char32_t> c = foundation::utf8::decode(s, i);
            if (!c || *c > 0xff)
                return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(*c));
        }
        return out;
    }
    case NSUTF16StringEncoding:
        return encodeUtf16(s, false, true);
    case NSUTF16BigEndianStringEncoding:
        return encodeUtf16(s, true, false);
    case NSUTF16LittleEndianStringEncoding:
        return encodeUtf16(s, false, false);
    default:
        break;
    }
    const char* name = iconvName(encoding);
    if (!name || !foundation::utf8::isValid(s))
        return std::nullopt;
    std::optional<std::string> converted = runIconv(name, "UTF-8", s);
    if (!converted)
        return std::nullopt;
    return toBytes(*converted);
}

bool canBeConvertedToEncoding(std::string_view s, NSStringEncoding encoding)
{
    return dataUsingEncoding(s, encoding).has_value();
}

std::optional<std::string> initWithData(const Bytes& data, NSStringEncoding encoding)
{
    std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    switch (encoding) {
    case NSUTF8StringEncoding:
        if (!foundation::utf8::isValid(bytes))
            return std::nullopt;
        return std::string(bytes);
    case NSASCIIStringEncoding:
        for (std::uint8_t b : data)
            if (b >= 0x80)
                return std::nullopt;
        return std::string(bytes);
    case NSISOLatin1StringEncoding: {
        std::string out;
        out.reserve(data.size());
        for (std::uint8_t b : data)
            foundation::utf8::append(out, b);
        return out;
    }
    case NSUTF16StringEncoding:
        return decodeUtf16(data, true, true);
    case NSUTF16BigEndianStringEncoding:
        return decodeUtf16(data, true, false);
    case NSUTF16LittleEndianStringEncoding:
        return decodeUtf16(data, false, false);
    default:
        break;
    }
    const char* name = iconvName(encoding);
    if (!name)
        return std::nullopt;
    return runIconv("UTF-8", name, bytes);
}

} // namespace NSString
