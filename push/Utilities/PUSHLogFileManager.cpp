// Log file names, listing, creation and pruning by count and quota; per-file facts.
#include <errno.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/foundation/Clock.h"
#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSLog.h"
#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileStat.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSFileManager.h"
#include "push/Utilities/PUSHFileLogger.h"

namespace {

constexpr const char* kArchivedAttribute = "push.log.archived";
constexpr const char* kNameDateFormat = "yyyy-MM-dd HH-mm";

std::atomic<bool> extendedAttributesUnsupported { false };

bool isUnsupported(int code)
{
    return code == ENOTSUP || code == EOPNOTSUPP;
}

// The archived mark of a log file on a file system without extended attributes.
std::string markPath(const std::string& filePath)
{
    return persistence::appendPathComponent(persistence::deletingLastPathComponent(filePath),
        "." + persistence::lastPathComponent(filePath) + ".archived");
}

std::vector<std::string> splitAtSpaces(const std::string& text)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == ' ')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

bool isAttemptNumber(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

auto fileManager()
{
    return NSFileManager::defaultManager();
}

NSComparisonResult reverseCompare(double mine, double theirs)
{
    if (mine > theirs)
        return NSOrderedAscending;
    return mine < theirs ? NSOrderedDescending : NSOrderedSame;
}

bool isProtectionClass(const std::string& protection)
{
    for (const char* known : { NSFileProtectionNone, NSFileProtectionComplete, NSFileProtectionCompleteUnlessOpen,
             NSFileProtectionCompleteUntilFirstUserAuthentication })
        if (protection == known)
            return true;
    return false;
}

// A date as the description shows it: "" when there is none.
Value dateText(double date)
{
    return date > 0 ? Value(NSDate::dateWithTimeIntervalSince1970(date).description()) : Value("");
}

} // namespace

// ---- PUSHLogFileInfo ----

PUSHLogFileInfoRef PUSHLogFileInfo::logFileWithPath(std::string path)
{
    return std::make_shared<PUSHLogFileInfo>(std::move(path));
}

PUSHLogFileInfo::PUSHLogFileInfo(std::string path)
    : filePath_(std::move(path))
{
}

std::string PUSHLogFileInfo::fileName() const
{
    return persistence::lastPathComponent(filePath_);
}

void PUSHLogFileInfo::readAttributes()
{
    auto info = persistence::statPath(filePath_);
    if (!info)
        return;
    creationDate_ = info->created;
    modificationDate_ = info->modified;
}

double PUSHLogFileInfo::creationDate()
{
    if (!creationDate_)
        readAttributes();
    return creationDate_.value_or(0);
}

double PUSHLogFileInfo::modificationDate()
{
    if (!modificationDate_)
        readAttributes();
    return modificationDate_.value_or(0);
}

std::uint64_t PUSHLogFileInfo::fileSize()
{
    if (fileSize_ == 0) { // a 0 is read again on every call
        auto info = persistence::statPath(filePath_);
        fileSize_ = info ? info->size : 0;
    }
    return fileSize_;
}

double PUSHLogFileInfo::age()
{
    return foundation::clock::now() - creationDate();
}

bool PUSHLogFileInfo::isArchived() const
{
    return hasExtendedAttributeWithName(kArchivedAttribute);
}

void PUSHLogFileInfo::setIsArchived(bool archived)
{
    if (archived)
        addExtendedAttributeWithName(kArchivedAttribute);
    else
        removeExtendedAttributeWithName(kArchivedAttribute);
}

void PUSHLogFileInfo::reset()
{
    creationDate_.reset();
    modificationDate_.reset();
}

NSComparisonResult PUSHLogFileInfo::reverseCompareByCreationDate(PUSHLogFileInfo& other)
{
    return reverseCompare(creationDate(), other.creationDate());
}

NSComparisonResult PUSHLogFileInfo::reverseCompareByModificationDate(PUSHLogFileInfo& other)
{
    return reverseCompare(modificationDate(), other.modificationDate());
}

Value PUSHLogFileInfo::fileAttributes() const
{
    return fileManager()->attributesOfItemAtPath(filePath_);
}

std::string PUSHLogFileInfo::description()
{
    const Value attributes = fileAttributes();
    return Value::dictionary({
                                 { "filePath", Value(filePath_) },
                                 { "fileName", Value(fileName()) },
                                 { "fileAttributes", attributes.isDictionary() ? attributes : Value("") },
                                 { "creationDate", dateText(creationDate()) },
                                 { "modificationDate", dateText(modificationDate()) },
                                 { "fileSize", Value(fileSize()) },
                                 { "age", Value(age()) },
                                 { "isArchived", Value(isArchived()) },
                             })
        .description();
}

void PUSHLogFileInfo::renameFile(const std::string& newName)
{
    if (newName == fileName())
        return;
    std::string target = persistence::appendPathComponent(persistence::deletingLastPathComponent(filePath_), newName);
    NSErrorRef error;
    if (fileManager()->fileExistsAtPath(target) && !fileManager()->removeItemAtPath(target, &error))
        NSLog("PUSHLogFileInfo: Error deleting archive (%@): %@", fileName(), error ? error->description() : "");
    if (!fileManager()->moveItemAtPath(filePath_, target, &error)) {
        // The file stayed where it was: keep pointing at it.
        NSLog("PUSHLogFileInfo: Error renaming file (%@): %@", fileName(), error ? error->description() : "");
        return;
    }
    if (fileManager()->fileExistsAtPath(markPath(target)))
        fileManager()->removeItemAtPath(markPath(target));
    if (fileManager()->fileExistsAtPath(markPath(filePath_)))
        fileManager()->moveItemAtPath(markPath(filePath_), markPath(target));
    filePath_ = target;
    reset();
}

void PUSHLogFileInfo::setExtendedAttributesUnsupported(bool unsupported)
{
    extendedAttributesUnsupported = unsupported;
}

// Only the archived mark has a stand-in where extended attributes are missing.
bool PUSHLogFileInfo::hasExtendedAttributeWithName(const std::string& name) const
{
    if (!extendedAttributesUnsupported && fileManager()->hasExtendedAttribute(name, filePath_))
        return true;
    return name == kArchivedAttribute && fileManager()->fileExistsAtPath(markPath(filePath_));
}

void PUSHLogFileInfo::addExtendedAttributeWithName(const std::string& name)
{
    NSErrorRef error;
    if (!extendedAttributesUnsupported && fileManager()->setExtendedAttribute(name, Bytes {}, filePath_, &error))
        return;
    const int code = extendedAttributesUnsupported ? ENOTSUP : error ? static_cast<int>(error->code()) : 0;
    if (isUnsupported(code) && name == kArchivedAttribute && fileManager()->fileExistsAtPath(filePath_)
        && fileManager()->createFileAtPath(markPath(filePath_), Bytes {}, Value()))
        return;
    NSLog("PUSHLogFileInfo: setxattr(%@, %@): error = %s", name, fileName(), std::strerror(code));
}

void PUSHLogFileInfo::removeExtendedAttributeWithName(const std::string& name)
{
    if (name == kArchivedAttribute && fileManager()->fileExistsAtPath(markPath(filePath_)))
        fileManager()->removeItemAtPath(markPath(filePath_));
    if (extendedAttributesUnsupported)
        return;
    NSErrorRef error;
    if (fileManager()->removeExtendedAttribute(name, filePath_, &error))
        return;
    const int code = error ? static_cast<int>(error->code()) : 0;
    if (code == ENODATA || isUnsupported(code))
        return;
    NSLog("PUSHLogFileInfo: removexattr(%@, %@): error = %s", name, fileName(), std::strerror(code));
}

void PUSHLogFileInfo::removeFile() const
{
    fileManager()->removeItemAtPath(filePath_);
    if (fileManager()->fileExistsAtPath(markPath(filePath_)))
        fileManager()->removeItemAtPath(markPath(filePath_));
}

// ---- PUSHLogFileManagerDefault ----

PUSHLogFileManagerDefault::PUSHLogFileManagerDefault(std::optional<std::string> logsDirectory)
    : directory_(logsDirectory ? *logsDirectory : defaultLogsDirectory())
{
}

PUSHLogFileManagerDefault::PUSHLogFileManagerDefault(
    std::optional<std::string> logsDirectory, const std::string& defaultFileProtectionLevel)
    : PUSHLogFileManagerDefault(std::move(logsDirectory))
{
    if (isProtectionClass(defaultFileProtectionLevel))
        defaultFileProtectionLevel_ = defaultFileProtectionLevel;
}

bool PUSHLogFileManagerDefault::applicationRunsInBackground()
{
    auto bundle = NSBundle::mainBundle(); // held while its value is read
    const Value& modes = bundle->objectForInfoDictionaryKey("UIBackgroundModes");
    for (std::size_t i = 0; i < modes.count(); ++i)
        if (modes[i].isString() && !modes[i].asString().empty())
            return true;
    return false;
}

std::string PUSHLogFileManagerDefault::protectionForNewFile() const
{
    if (defaultFileProtectionLevel_)
        return *defaultFileProtectionLevel_;
    return applicationRunsInBackground() ? NSFileProtectionCompleteUntilFirstUserAuthentication
                                         : NSFileProtectionCompleteUnlessOpen;
}

std::string PUSHLogFileManagerDefault::defaultLogsDirectory()
{
    auto caches = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    return persistence::appendPathComponent(caches.empty() ? NSTemporaryDirectory() : caches.front(), "PUSHLogs");
}

std::string PUSHLogFileManagerDefault::logsDirectory() const
{
    NSErrorRef error;
    if (!fileManager()->fileExistsAtPath(directory_)
        && !fileManager()->createDirectoryAtPath(directory_, true, Value(), &error))
        NSLog("PUSHFileLogManagerDefault: Error creating logsDirectory: %@", error ? error->description() : "");
    return directory_;
}

std::string PUSHLogFileManagerDefault::applicationName()
{
    // Never destroyed: the log queue may still name a new file while the program exits.
    static const auto* name = new std::string([] {
        auto bundle = NSBundle::mainBundle();
        const Value& identifier = bundle->objectForInfoDictionaryKey("CFBundleIdentifier");
        if (identifier.isString() && !identifier.asString().empty())
            return identifier.asString();
        return std::string(program_invocation_short_name ? program_invocation_short_name : "");
    }());
    return *name;
}

std::shared_ptr<NSDateFormatter> PUSHLogFileManagerDefault::logFileDateFormatter()
{
    thread_local std::shared_ptr<NSDateFormatter> formatter = [] {
        auto f = NSDateFormatter::create(kNameDateFormat);
        f->setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"));
        f->setTimeZone(NSTimeZone::timeZoneForSecondsFromGMT(0));
        return f;
    }();
    return formatter;
}

std::string PUSHLogFileManagerDefault::newLogFileName() const
{
    return NSString::stringWithFormat(
        "%@ %@.log", applicationName(), logFileDateFormatter()->stringFromDate(NSDate::date()));
}

bool PUSHLogFileManagerDefault::isLogFile(const std::string& fileName) const
{
    const std::string app = applicationName();
    const std::string suffix = ".log";
    if (fileName.size() < app.size() + suffix.size() || fileName.compare(0, app.size(), app) != 0
        || fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string middle = fileName.substr(app.size(), fileName.size() - app.size() - suffix.size());
    if (middle.size() < 17)
        return false;
    // " date time" or " date time attempt": the name goes straight on with a space, so a
    // longer application name that merely starts with this one is another's.
    auto parts = splitAtSpaces(middle);
    if (parts.size() != 3 && parts.size() != 4)
        return false;
    if (!parts[0].empty() || (parts.size() == 4 && !isAttemptNumber(parts[3])))
        return false;
    return logFileDateFormatter()->dateFromString(parts[1] + " " + parts[2]).has_value();
}

std::vector<std::string> PUSHLogFileManagerDefault::unsortedLogFilePaths() const
{
    std::vector<std::string> paths;
    std::string folder = logsDirectory();
    auto names = fileManager()->contentsOfDirectoryAtPath(folder);
    if (!names)
        return paths;
    for (const auto& name : *names)
        if (isLogFile(name))
            paths.push_back(persistence::appendPathComponent(folder, name));
    return paths;
}

std::vector<std::string> PUSHLogFileManagerDefault::unsortedLogFileNames() const
{
    std::vector<std::string> names;
    for (const auto& path : unsortedLogFilePaths())
        names.push_back(persistence::lastPathComponent(path));
    return names;
}

std::vector<PUSHLogFileInfoRef> PUSHLogFileManagerDefault::unsortedLogFileInfos() const
{
    std::vector<PUSHLogFileInfoRef> infos;
    for (const auto& path : unsortedLogFilePaths())
        infos.push_back(PUSHLogFileInfo::logFileWithPath(path));
    return infos;
}

std::vector<PUSHLogFileInfoRef> PUSHLogFileManagerDefault::sortedLogFileInfos() const
{
    auto infos = unsortedLogFileInfos();
    std::stable_sort(infos.begin(), infos.end(), [](const PUSHLogFileInfoRef& a, const PUSHLogFileInfoRef& b) {
        return a->reverseCompareByCreationDate(*b) == NSOrderedAscending;
    });
    return infos;
}

std::vector<std::string> PUSHLogFileManagerDefault::sortedLogFilePaths() const
{
    std::vector<std::string> paths;
    for (const auto& info : sortedLogFileInfos())
        paths.push_back(info->filePath());
    return paths;
}

std::vector<std::string> PUSHLogFileManagerDefault::sortedLogFileNames() const
{
    std::vector<std::string> names;
    for (const auto& info : sortedLogFileInfos())
        names.push_back(info->fileName());
    return names;
}

std::string PUSHLogFileManagerDefault::createNewLogFile()
{
    std::string name = newLogFileName();
    std::string folder = logsDirectory();
    std::string stem = name.substr(0, name.size() - 4);
    for (unsigned long attempt = 1;; ++attempt) {
        std::string candidate = attempt == 1 ? name : NSString::stringWithFormat("%@ %lu.log", stem, attempt);
        std::string path = persistence::appendPathComponent(folder, candidate);
        if (fileManager()->fileExistsAtPath(path))
            continue;
        fileManager()->createFileAtPath(path, Bytes {}, Value::dictionary({ { NSFileProtectionKey, protectionForNewFile() } }));
        deleteOldLogFiles();
        return path;
    }
}

void PUSHLogFileManagerDefault::deleteOldLogFiles()
{
    auto infos = sortedLogFileInfos();
    std::optional<std::size_t> quotaIndex;
    if (logFilesDiskQuota != 0) {
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < infos.size() && !quotaIndex; ++i) {
            total += infos[i]->fileSize();
            if (total > logFilesDiskQuota)
                quotaIndex = i;
        }
    }
    std::optional<std::size_t> first = quotaIndex;
    if (maximumNumberOfLogFiles != 0)
        first = std::min<std::size_t>(quotaIndex.value_or(SIZE_MAX), maximumNumberOfLogFiles);
    if (!first)
        return;
    if (*first == 0 && !infos.empty() && !infos[0]->isArchived())
        first = 1; // the file being written is never deleted
    for (std::size_t i = *first; i < infos.size(); ++i)
        infos[i]->removeFile();
}
