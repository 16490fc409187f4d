// Console logger: mode detection, palettes, colour profiles and gathered writes.
#include "push/Utilities/PUSHTTYLogger.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <mutex>

#include "push/Utilities/PUSHOneInstance.h"

namespace {

bool containsNoCase(const char* haystack, const char* needle)
{
    std::string h(haystack), n(needle);
    std::transform(h.begin(), h.end(), h.begin(), [](unsigned char c) { return std::tolower(c); });
    return h.find(n) != std::string::npos;
}

PUSHColor rgb(int r, int g, int b)
{
    return { r / 255.0, g / 255.0, b / 255.0 };
}

const std::vector<PUSHColor>& palette16()
{
    static const std::vector<PUSHColor> colors = {
        rgb(0, 0, 0), rgb(194, 54, 33), rgb(37, 188, 36), rgb(173, 173, 39), rgb(73, 46, 225), rgb(211, 56, 211),
        rgb(51, 187, 200), rgb(203, 204, 205), rgb(129, 131, 131), rgb(252, 57, 31), rgb(49, 231, 34),
        rgb(234, 236, 35), rgb(88, 51, 255), rgb(249, 53, 248), rgb(20, 240, 240), rgb(233, 235, 235),
    };
    return colors;
}

// Palette numbers 16-255 as the terminal shows them: the colour cube at its measured levels,
// then the grey ramp from 52 to 240.
const std::vector<PUSHColor>& palette256()
{
    static const std::vector<PUSHColor> colors = [] {
        std::vector<PUSHColor> table;
        const int levels[6] = { 0, 95, 135, 175, 215, 255 };
        for (int i = 16; i < 232; ++i) {
            int n = i - 16;
            int r = levels[n / 36], g = levels[(n / 6) % 6], b = levels[n % 6];
            table.push_back(rgb(r, g, b));
        }
        for (int i = 0; i < 24; ++i) {
            int grey = static_cast<int>(std::lround(52 + (240 - 52) * i / 23.0));
            table.push_back(rgb(grey, grey + 1 + (i == 23 ? 1 : 0), grey + 1 + (i == 23 ? 1 : 0)));
        }
        // The rows the terminal is known to show differently from the nominal cube.
        table[16 - 16] = rgb(47, 49, 49);
        table[21 - 16] = rgb(88, 51, 255);
        table[46 - 16] = rgb(27, 254, 30);
        table[196 - 16] = rgb(255, 61, 30);
        table[226 - 16] = rgb(251, 252, 15);
        table[231 - 16] = rgb(254, 255, 255);
        table[232 - 16] = rgb(52, 53, 53);
        table[255 - 16] = rgb(240, 242, 242);
        return table;
    }();
    return colors;
}

std::string code16(std::size_t index, bool background)
{
    return std::string(index >= 8 ? "1;" : "") + (background ? "4" : "3") + std::to_string(index % 8) + "m";
}

std::string code256(std::size_t index, bool background)
{
    return std::string(background ? "48;5;" : "38;5;") + std::to_string(index + 16) + "m";
}

std::uint8_t channel(double component)
{
    return static_cast<std::uint8_t>(std::clamp(component, 0.0, 1.0) * 255);
}

} // namespace

PUSHConsoleMode PUSHTTYLogger::detectMode(const char* xcodeColors, const char* term)
{
    if (xcodeColors && std::string(xcodeColors) == "YES")
        return PUSHConsoleMode::plugin;
    if (term && containsNoCase(term, "color"))
        return containsNoCase(term, "256") ? PUSHConsoleMode::colorTerminal256 : PUSHConsoleMode::colorTerminal16;
    return PUSHConsoleMode::plain;
}

const std::vector<PUSHColor>& PUSHTTYLogger::paletteColors(PUSHConsoleMode mode)
{
    static const std::vector<PUSHColor> none;
    if (mode == PUSHConsoleMode::colorTerminal16)
        return palette16();
    if (mode == PUSHConsoleMode::colorTerminal256)
        return palette256();
    return none;
}

std::string PUSHTTYLogger::paletteForegroundCode(PUSHConsoleMode mode, std::size_t index)
{
    return mode == PUSHConsoleMode::colorTerminal256 ? code256(index, false) : code16(index, false);
}

std::size_t PUSHTTYLogger::codeIndexForColor(const PUSHColor& color, PUSHConsoleMode mode)
{
    double best = 100;
    std::size_t bestIndex = 0;
    const auto& colors = paletteColors(mode);
    for (std::size_t i = 0; i < colors.size(); ++i) {
        double distance = std::sqrt(std::pow(colors[i].red - color.red, 2) + std::pow(colors[i].green - color.green, 2)
            + std::pow(colors[i].blue - color.blue, 2));
        if (distance < best) {
            best = distance;
            bestIndex = i;
        }
    }
    return bestIndex;
}

std::optional<PUSHTTYLoggerColorProfile> PUSHTTYLoggerColorProfile::make(std::optional<PUSHColor> fg,
    std::optional<PUSHColor> bg, std::uint64_t mask, std::int64_t context, PUSHConsoleMode mode)
{
    PUSHTTYLoggerColorProfile p;
    p.mask = mask;
    p.context = context;
    if (fg) {
        p.fg_r = channel(fg->red), p.fg_g = channel(fg->green), p.fg_b = channel(fg->blue);
    }
    if (bg) {
        p.bg_r = channel(bg->red), p.bg_g = channel(bg->green), p.bg_b = channel(bg->blue);
    }
    const std::string esc = "\033[";
    if (mode == PUSHConsoleMode::colorTerminal16 || mode == PUSHConsoleMode::colorTerminal256) {
        bool wide = mode == PUSHConsoleMode::colorTerminal256;
        if (fg) {
            p.fgCodeIndex = PUSHTTYLogger::codeIndexForColor(*fg, mode);
            p.fgCodeRaw = wide ? code256(p.fgCodeIndex, false) : code16(p.fgCodeIndex, false);
            p.fgCode = esc + p.fgCodeRaw;
        }
        if (bg) {
            p.bgCodeIndex = PUSHTTYLogger::codeIndexForColor(*bg, mode);
            p.bgCodeRaw = wide ? code256(p.bgCodeIndex, true) : code16(p.bgCodeIndex, true);
            p.bgCode = esc + p.bgCodeRaw;
        }
        if (p.fgCode.size() > 23 || p.bgCode.size() > 23)
            return std::nullopt;
        p.resetCode = esc + "0m";
    } else if (mode == PUSHConsoleMode::plugin) {
        if (fg)
            p.fgCode = NSString::stringWithFormat("%sfg%u,%u,%u;", esc, p.fg_r, p.fg_g, p.fg_b).substr(0, 23);
        if (bg)
            p.bgCode = NSString::stringWithFormat("%sbg%u,%u,%u;", esc, p.bg_r, p.bg_g, p.bg_b).substr(0, 23);
        p.resetCode = esc + ";";
    }
    return p;
}

std::string PUSHTTYLoggerColorProfile::description() const
{
    return NSString::stringWithFormat("<PUSHTTYLoggerColorProfile: %p mask:%i ctxt:%ld fg:%u,%u,%u bg:%u,%u,%u fgCode:%@ bgCode:%@>",
        static_cast<const void*>(this), static_cast<int>(mask), context, fg_r, fg_g, fg_b, bg_r, bg_g, bg_b, fgCodeRaw,
        bgCodeRaw);
}

namespace {

PUSHOneInstance<PUSHTTYLogger>& instances()
{
    static auto* one = new PUSHOneInstance<PUSHTTYLogger>(); // lives until exit
    return *one;
}

} // namespace

// The mode is read from the environment once, before the first instance is made.
std::shared_ptr<PUSHTTYLogger> PUSHTTYLogger::make()
{
    static const PUSHConsoleMode mode = detectMode(std::getenv("XcodeColors"), std::getenv("TERM"));
    return std::shared_ptr<PUSHTTYLogger>(new PUSHTTYLogger(mode));
}

std::shared_ptr<PUSHTTYLogger> PUSHTTYLogger::sharedInstance()
{
    return instances().shared(make);
}

std::shared_ptr<PUSHTTYLogger> PUSHTTYLogger::init()
{
    return instances().another(make);
}

PUSHTTYLogger::PUSHTTYLogger(PUSHConsoleMode mode)
    : mode_(mode)
{
    appName_ = program_invocation_short_name && *program_invocation_short_name ? program_invocation_short_name
                                                                               : "<UnnamedApp>";
    processID_ = std::to_string(::getpid());
    colorProfilesArray_.reserve(8);
}

bool PUSHTTYLogger::colorsEnabled()
{
    bool result = false;
    auto queue = loggerQueue();
    dispatch_sync(PUSHLog::loggingQueue(), [&] { dispatch_sync(queue, [&] { result = colorsEnabled_; }); });
    return result;
}

void PUSHTTYLogger::setColorsEnabled(bool enabled)
{
    auto self = std::static_pointer_cast<PUSHTTYLogger>(shared_from_this());
    runInLoggerOrder([self, enabled] {
        self->colorsEnabled_ = enabled;
        if (self->colorProfilesArray_.empty())
            self->loadDefaultColorProfiles();
    });
}

void PUSHTTYLogger::loadDefaultColorProfiles()
{
    setForegroundColor(rgb(214, 57, 30), std::nullopt, PUSH_LOG_FLAG_ERROR);
    setForegroundColor(rgb(204, 121, 32), std::nullopt, PUSH_LOG_FLAG_WARNING);
}

void PUSHTTYLogger::setForegroundColor(std::optional<PUSHColor> fg, std::optional<PUSHColor> bg, std::uint64_t flag)
{
    setForegroundColor(fg, bg, flag, kAnyContext);
}

void PUSHTTYLogger::setForegroundColor(
    std::optional<PUSHColor> fg, std::optional<PUSHColor> bg, std::uint64_t flag, std::int64_t context)
{
    auto self = std::static_pointer_cast<PUSHTTYLogger>(shared_from_this());
    runInLoggerOrder([self, fg, bg, flag, context] {
        auto profile = PUSHTTYLoggerColorProfile::make(fg, bg, flag, context, self->mode_);
        if (!profile)
            return;
        auto& list = self->colorProfilesArray_;
        auto same = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.mask == flag && p.context == context; });
        if (same != list.end())
            *same = *profile;
        else
            list.push_back(*profile);
    });
}

void PUSHTTYLogger::setForegroundColorForTag(std::optional<PUSHColor> fg, std::optional<PUSHColor> bg, const std::string& tag)
{
    auto self = std::static_pointer_cast<PUSHTTYLogger>(shared_from_this());
    runInLoggerOrder([self, fg, bg, tag] {
        if (auto profile = PUSHTTYLoggerColorProfile::make(fg, bg, 0, 0, self->mode_))
            self->colorProfilesDict_.insert_or_assign(tag, *profile);
    });
}

void PUSHTTYLogger::clearColorsForFlag(std::uint64_t flag, std::int64_t context)
{
    auto self = std::static_pointer_cast<PUSHTTYLogger>(shared_from_this());
    runInLoggerOrder([self, flag, context] {
        auto& list = self->colorProfilesArray_;
        auto same = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.mask == flag && p.context == context; });
        if (same != list.end())
            list.erase(same);
    });
}

void PUSHTTYLogger::clearColorsForTag(const std::string& tag)
{
    auto self = std::static_pointer_cast<PUSHTTYLogger>(shared_from_this());
    runInLoggerOrder([self, tag] { self->colorProfilesDict_.erase(tag); });
}

void PUSHTTYLogger::clearColorsForAllFlags()
{
    auto self = std::static_pointer_cast<PUSHTTYLogger>(shared_from_this());
    runInLoggerOrder([self] { self->colorProfilesArray_.clear(); });
}

void PUSHTTYLogger::clearColorsForAllTags()
{
    auto self = std::static_pointer_cast<PUSHTTYLogger>(shared_from_this());
    runInLoggerOrder([self] { self->colorProfilesDict_.clear(); });
}

void PUSHTTYLogger::clearAllColors()
{
    clearColorsForAllFlags();
    clearColorsForAllTags();
}

const PUSHTTYLoggerColorProfile* PUSHTTYLogger::profileFor(const PUSHLogMessage& message) const
{
    if (!colorsEnabled_)
        return nullptr;
    if (message.tag.isString()) {
        auto it = colorProfilesDict_.find(message.tag.asString());
        if (it != colorProfilesDict_.end())
            return &it->second;
    }
    const PUSHTTYLoggerColorProfile* chosen = nullptr;
    for (const auto& profile : colorProfilesArray_) {
        if ((profile.mask & message.flag) == 0)
            continue;
        if (profile.context == message.context)
            return &profile;
        if (profile.context == kAnyContext)
            chosen = &profile;
    }
    return chosen;
}

void PUSHTTYLogger::logMessage(const PUSHLogMessage& message)
{
    const bool custom = formatter_ != nullptr;
    std::optional<std::string> text = custom ? formatter_->formatLogMessage(message) : message.message;
    if (!text)
        return;
    const PUSHTTYLoggerColorProfile* profile = profileFor(message);
    static const std::string empty;
    const std::string& fg = profile ? profile->fgCode : empty;
    const std::string& bg = profile ? profile->bgCode : empty;
    const std::string& reset = profile ? profile->resetCode : empty;
    bool endsWithNewline = !text->empty() && text->back() == '\n';
    auto piece = [](const std::string& s) { return iovec { const_cast<char*>(s.data()), s.size() }; };
    static const std::string newline = "\n", space = " ", open = "[", colon = ":", close = "] ";
    std::vector<iovec> pieces;
    std::string stampText, thread; // outlive the write below
    if (custom) {
        pieces = { piece(fg), piece(bg), piece(*text) };
        if (automaticallyAppendNewlineForCustomFormatters && !endsWithNewline)
            pieces.push_back(piece(newline));
        pieces.push_back(piece(reset));
    } else {
        std::time_t seconds = static_cast<std::time_t>(std::floor(message.timestamp));
        std::tm parts {};
        ::localtime_r(&seconds, &parts);
        // At most 23 characters, as the fixed stamp field holds.
        stampText = NSString::stringWithFormat("%04ld-%02ld-%02ld %02ld:%02ld:%02ld:%03d",
            parts.tm_year + 1900L, parts.tm_mon + 1L, static_cast<long>(parts.tm_mday), static_cast<long>(parts.tm_hour),
            static_cast<long>(parts.tm_min), static_cast<long>(parts.tm_sec),
            static_cast<int>((message.timestamp - std::floor(message.timestamp)) * 1000))
                                    .substr(0, 23);
        thread = message.threadID.substr(0, 8);
        pieces = { piece(fg), piece(bg), piece(stampText), piece(space), piece(appName_), piece(open),
            piece(processID_), piece(colon), piece(thread), piece(close), piece(*text) };
        if (!endsWithNewline)
            pieces.push_back(piece(newline));
        pieces.push_back(piece(reset));
    }
    ::writev(fd_, pieces.data(), static_cast<int>(pieces.size()));
}
