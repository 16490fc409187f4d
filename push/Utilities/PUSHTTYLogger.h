// The console logger: each line to standard error in one gathered write, coloured by flag, by
// flag and context, or by tag, with escape codes made once per colour profile.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "push/Utilities/PUSHLog.h"

// An RGB colour, 0-1 per channel.
struct PUSHColor {
    double red = 0, green = 0, blue = 0;
};

enum class PUSHConsoleMode { plain, colorTerminal16, colorTerminal256, plugin };

struct PUSHTTYLoggerColorProfile {
    // Codes for the mode; nullopt when a code does not fit its field.
    static std::optional<PUSHTTYLoggerColorProfile> make(std::optional<PUSHColor> foreground,
        std::optional<PUSHColor> background, std::uint64_t mask, std::int64_t context, PUSHConsoleMode mode);
    std::string description() const;

    std::uint64_t mask = 0;
    std::int64_t context = 0;
    std::uint8_t fg_r = 0, fg_g = 0, fg_b = 0, bg_r = 0, bg_g = 0, bg_b = 0;
    std::uint64_t fgCodeIndex = 0, bgCodeIndex = 0;
    std::string fgCodeRaw, bgCodeRaw;
    std::string fgCode, bgCode, resetCode;
};

class PUSHTTYLogger : public PUSHAbstractLogger {
public:
    static constexpr std::int64_t kAnyContext = 2147483647;

    static std::shared_ptr<PUSHTTYLogger> sharedInstance();
    // Null once the shared instance exists: there is one console logger.
    static std::shared_ptr<PUSHTTYLogger> init();
    // The mode an environment asks for: "XcodeColors" = "YES" first, then "TERM" holding
    // "color" (and "256" for the larger palette), any case.
    static PUSHConsoleMode detectMode(const char* xcodeColors, const char* term);
    // Palette colours and codes of a mode (empty outside the terminal modes).
    static const std::vector<PUSHColor>& paletteColors(PUSHConsoleMode mode);
    static std::string paletteForegroundCode(PUSHConsoleMode mode, std::size_t index);
    static std::size_t codeIndexForColor(const PUSHColor& color, PUSHConsoleMode mode);

    std::string loggerName() override { return "push.logging.ttyLogger"; }
    void logMessage(const PUSHLogMessage& message) override;

    bool colorsEnabled();
    void setColorsEnabled(bool enabled);
    void setForegroundColor(std::optional<PUSHColor> fg, std::optional<PUSHColor> bg, std::uint64_t flag);
    void setForegroundColor(std::optional<PUSHColor> fg, std::optional<PUSHColor> bg, std::uint64_t flag, std::int64_t context);
    void setForegroundColorForTag(std::optional<PUSHColor> fg, std::optional<PUSHColor> bg, const std::string& tag);
    void clearColorsForFlag(std::uint64_t flag, std::int64_t context = 0);
    void clearColorsForTag(const std::string& tag);
    void clearColorsForAllFlags();
    void clearColorsForAllTags();
    void clearAllColors();
    bool automaticallyAppendNewlineForCustomFormatters = true;

    // Where lines go (standard error unless a test says otherwise), and the mode in use.
    void setOutputDescriptor(int fd) { fd_ = fd; }
    void setMode(PUSHConsoleMode mode) { mode_ = mode; }

private:
    // Only sharedInstance and init make one.
    explicit PUSHTTYLogger(PUSHConsoleMode mode);
    static std::shared_ptr<PUSHTTYLogger> make();
    void loadDefaultColorProfiles();
    const PUSHTTYLoggerColorProfile* profileFor(const PUSHLogMessage& message) const;
    PUSHConsoleMode mode_;
    int fd_ = 2;
    std::string appName_;
    std::string processID_;
    bool colorsEnabled_ = false;
    std::vector<PUSHTTYLoggerColorProfile> colorProfilesArray_;
    std::map<std::string, PUSHTTYLoggerColorProfile> colorProfilesDict_;
};
