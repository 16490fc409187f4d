// The rolling file logger: log files in a folder of their own, rolled by size, by age (with a
// timer) and when the current file is deleted or renamed, and pruned by count and quota.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSDateFormatter.h"
#include "platform/foundation/NSString.h"
#include "push/Utilities/PUSHLog.h"

// One log file and its lazily read facts.
class PUSHLogFileInfo {
public:
    static std::shared_ptr<PUSHLogFileInfo> logFileWithPath(std::string path);
    explicit PUSHLogFileInfo(std::string path);

    const std::string& filePath() const { return filePath_; }
    std::string fileName() const;
    double creationDate();
    double modificationDate();
    std::uint64_t fileSize();
    double age();
    bool isArchived() const;
    void setIsArchived(bool archived);
    void reset();
    // The later date sorts first; equal dates are the same.
    NSComparisonResult reverseCompareByCreationDate(PUSHLogFileInfo& other);
    NSComparisonResult reverseCompareByModificationDate(PUSHLogFileInfo& other);
    // The file system's attributes of the file (absent when it cannot be read).
    Value fileAttributes() const;
    // The text form of the file's facts, a missing text or date shown as "".
    std::string description();
    // Moves the file to a new name in its folder; the path changes only when the move worked.
    void renameFile(const std::string& newName);
    bool hasExtendedAttributeWithName(const std::string& name) const;
    void addExtendedAttributeWithName(const std::string& name);
    void removeExtendedAttributeWithName(const std::string& name);
    // The same file: equal paths.
    bool isEqual(const PUSHLogFileInfo& other) const { return filePath_ == other.filePath_; }
    bool operator==(const PUSHLogFileInfo& other) const { return isEqual(other); }
    // Removes the file and its archived mark.
    void removeFile() const;

    // Where the file system keeps no extended attributes, the archived mark is an empty file
    // beside the log file (".<name>.archived"), so that it survives a restart too. Tests may
    // make every file system behave that way.
    static void setExtendedAttributesUnsupported(bool unsupported);

private:
    void readAttributes();
    std::string filePath_;
    std::optional<double> creationDate_;
    std::optional<double> modificationDate_;
    std::uint64_t fileSize_ = 0;
};
using PUSHLogFileInfoRef = std::shared_ptr<PUSHLogFileInfo>;

class PUSHLogFileManagerDefault {
public:
    explicit PUSHLogFileManagerDefault(std::optional<std::string> logsDirectory = std::nullopt);
    // A protection that is not one of the platform's four file protection classes is not kept.
    PUSHLogFileManagerDefault(std::optional<std::string> logsDirectory, const std::string& defaultFileProtectionLevel);
    virtual ~PUSHLogFileManagerDefault() = default;

    static std::string defaultLogsDirectory();
    std::string logsDirectory() const; // made when missing
    static std::string applicationName();
    // The formatter of the dates in log file names ("yyyy-MM-dd HH-mm", POSIX locale, UTC),
    // one per thread.
    static std::shared_ptr<NSDateFormatter> logFileDateFormatter();
    std::string newLogFileName() const;
    bool isLogFile(const std::string& fileName) const;
    std::vector<std::string> unsortedLogFilePaths() const;
    std::vector<std::string> unsortedLogFileNames() const;
    std::vector<PUSHLogFileInfoRef> unsortedLogFileInfos() const;
    std::vector<PUSHLogFileInfoRef> sortedLogFileInfos() const; // newest first
    std::vector<std::string> sortedLogFilePaths() const;
    std::vector<std::string> sortedLogFileNames() const;
    const std::optional<std::string>& defaultFileProtectionLevel() const { return defaultFileProtectionLevel_; }
    // The protection a new log file is created with: the one given at creation, else the one
    // that lets an application running in the background write it.
    std::string protectionForNewFile() const;
    // True when the main bundle declares at least one background mode.
    static bool applicationRunsInBackground();
    std::string createNewLogFile();
    void deleteOldLogFiles();

    std::uint64_t maximumNumberOfLogFiles = 5;
    std::uint64_t logFilesDiskQuota = 20 * 1024 * 1024;

    virtual void didArchiveLogFile(const std::string&) {}
    virtual void didRollAndArchiveLogFile(const std::string&) {}

private:
    std::string directory_;
    std::optional<std::string> defaultFileProtectionLevel_;
};

class PUSHLogFileFormatterDefault : public PUSHLogFormatter {
public:
    explicit PUSHLogFileFormatterDefault(std::shared_ptr<NSDateFormatter> formatter = nullptr);
    std::optional<std::string> formatLogMessage(const PUSHLogMessage& message) override;

private:
    std::shared_ptr<NSDateFormatter> dateFormatter_;
};

class PUSHFileLogger : public PUSHAbstractLogger {
public:
    static std::shared_ptr<PUSHFileLogger> create(std::shared_ptr<PUSHLogFileManagerDefault> manager = nullptr);
    ~PUSHFileLogger() override;

    std::string loggerName() override { return "push.logging.fileLogger"; }
    PUSHLogFileManagerDefault& logFileManager() { return *manager_; }

    // Getters wait for the logging queue and the logger's queue; setters take their place in it.
    std::uint64_t maximumFileSize();
    void setMaximumFileSize(std::uint64_t bytes);
    double rollingFrequency();
    void setRollingFrequency(double seconds);
    bool doNotReuseLogFiles = false;
    bool automaticallyAppendNewlineForCustomFormatters = true;

    void rollLogFile(std::function<void()> completion = nullptr);
    void logMessage(const PUSHLogMessage& message) override;
    void willRemoveLogger() override { rollLogFileNow(); }
    void flush() override;

    // Logger queue only.
    void rollLogFileNow();
    PUSHLogFileInfoRef currentLogFileInfo();

    struct Token {};
    PUSHFileLogger(Token, std::shared_ptr<PUSHLogFileManagerDefault> manager);

private:
    int currentLogFileHandle();
    void maybeRollLogFileDueToAge();
    void maybeRollLogFileDueToSize();
    void scheduleTimerToRollLogFileDueToAge();

    std::shared_ptr<PUSHLogFileManagerDefault> manager_;
    PUSHLogFileInfoRef currentInfo_;
    int fd_ = -1;
    std::uint64_t offset_ = 0; // where the next write goes in the open file
    dispatch_source_t vnode_;
    dispatch_source_t rollingTimer_;
    std::uint64_t maximumFileSize_ = 1024 * 1024;
    double rollingFrequency_ = 86400;
};
