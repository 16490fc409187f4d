// NSUserDefaults: settings in memory, read from and written to one property-list file.
#include "platform/persistence/NSUserDefaults.h"

#include "platform/persistence/AppHome.h"
#include "platform/persistence/FileIO.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSFileManager.h"
#include "platform/persistence/NSPropertyListSerialization.h"
#include "platform/persistence/PreferredLanguages.h"

namespace {

std::mutex standardLock;
std::shared_ptr<NSUserDefaults> standardInstance;

std::string standardPath()
{
    std::string name = NSBundle::mainBundle()->bundleIdentifier().value_or("quillmark");
    if (name.empty() || name.find('/') != std::string::npos)
        name = "quillmark";
    std::string folder = persistence::appendPathComponent(NSHomeDirectory(), "Library/Preferences");
    return persistence::appendPathComponent(folder, name + ".plist");
}

// What the system answers for a key the app has not set: the preferred languages under
// "AppleLanguages", nothing for any other key.
Value systemDefault(std::string_view key)
{
    if (key != persistence::kAppleLanguagesKey)
        return {};
    Value languages = Value::array();
    for (const std::string& language : persistence::preferredLanguages())
        languages.append(language);
    return languages;
}

} // namespace

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults()
{
    std::string path = standardPath();
    std::shared_ptr<NSUserDefaults> previous;
    std::lock_guard guard(standardLock);
    if (standardInstance && standardInstance->filePath() == path)
        return standardInstance;
    previous = std::move(standardInstance);
    standardInstance = std::make_shared<NSUserDefaults>(path);
    if (previous)
        previous->synchronize();
    return standardInstance;
}

void NSUserDefaults::resetStandardUserDefaults()
{
    std::shared_ptr<NSUserDefaults> previous;
    {
        std::lock_guard guard(standardLock);
        previous = std::move(standardInstance);
    }
    if (previous)
        previous->synchronize();
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::create(std::string path)
{
    return std::make_shared<NSUserDefaults>(std::move(path));
}

NSUserDefaults::NSUserDefaults(std::string path)
    : path_(std::move(path))
    , values_(Value::dictionary())
{
    persistence::removeStaleTemporaryFiles(persistence::deletingLastPathComponent(path_));
    auto bytes = persistence::dataWithContentsOfFile(path_);
    if (!bytes)
        return;
    // A damaged file reads as empty settings; it is replaced at the next write.
    Value stored = NSPropertyListSerialization::propertyListWithData(*bytes);
    if (stored.isDictionary())
        values_ = std::move(stored);
}

NSUserDefaults::~NSUserDefaults()
{
    std::lock_guard guard(lock_);
    if (dirty_)
        writeLocked();
}

Value NSUserDefaults::objectForKey(std::string_view key) const
{
    {
        std::lock_guard guard(lock_);
        if (values_.contains(key))
            return values_[key];
    }
    return systemDefault(key);
}

bool NSUserDefaults::setObject(Value value, std::string key)
{
    if (!value.isAbsent() && !NSPropertyListSerialization::propertyListIsValidForFormat(value, NSPropertyListBinaryFormat_v1_0))
        return false;
    std::lock_guard guard(lock_);
    values_.set(std::move(key), std::move(value));
    dirty_ = true;
    return true;
}

void NSUserDefaults::removeObjectForKey(std::string_view key)
{
    std::lock_guard guard(lock_);
    if (!values_.contains(key))
        return;
    values_.remove(key);
    dirty_ = true;
}

std::optional<std::string> NSUserDefaults::stringForKey(std::string_view key) const
{
    Value value = objectForKey(key);
    if (!value.isString())
        return std::nullopt;
    return value.asString();
}

std::int64_t NSUserDefaults::integerForKey(std::string_view key) const
{
    return objectForKey(key).integerValue();
}

bool NSUserDefaults::boolForKey(std::string_view key) const
{
    return objectForKey(key).boolValue();
}

double NSUserDefaults::doubleForKey(std::string_view key) const
{
    return objectForKey(key).doubleValue();
}

Value NSUserDefaults::arrayForKey(std::string_view key) const
{
    Value value = objectForKey(key);
    return value.isArray() ? value : Value();
}

Value NSUserDefaults::dictionaryForKey(std::string_view key) const
{
    Value value = objectForKey(key);
    return value.isDictionary() ? value : Value();
}

Value NSUserDefaults::dataForKey(std::string_view key) const
{
    Value value = objectForKey(key);
    return value.isData() ? value : Value();
}

bool NSUserDefaults::synchronize()
{
    std::lock_guard guard(lock_);
    if (!dirty_)
        return true;
    return writeLocked();
}

Value NSUserDefaults::dictionaryRepresentation() const
{
    std::lock_guard guard(lock_);
    return values_;
}

bool NSUserDefaults::writeLocked()
{
    auto bytes = NSPropertyListSerialization::dataWithPropertyList(values_, NSPropertyListBinaryFormat_v1_0);
    if (!bytes)
        return false;
    NSFileManager::defaultManager()->createDirectoryAtPath(persistence::deletingLastPathComponent(path_), true);
    if (!persistence::writeToFile(*bytes, path_, true))
        return false;
    dirty_ = false;
    return true;
}
