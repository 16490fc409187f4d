// NSFileManager: the file operations the app and its libraries use, on POSIX files.
// Failures come back as NSError in NSCocoaErrorDomain with the platform's file codes
// (FileErrors.h), the path under NSFilePath and the POSIX error as the underlying error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

// Attribute keys and values of attributesOfItemAtPath / setAttributes.
inline constexpr const char* NSFileSize = "NSFileSize";
inline constexpr const char* NSFileModificationDate = "NSFileModificationDate";
inline constexpr const char* NSFileCreationDate = "NSFileCreationDate";
inline constexpr const char* NSFileType = "NSFileType";
inline constexpr const char* NSFilePosixPermissions = "NSFilePosixPermissions";
inline constexpr const char* NSFileReferenceCount = "NSFileReferenceCount";
inline constexpr const char* NSFileSystemFileNumber = "NSFileSystemFileNumber";
inline constexpr const char* NSFileProtectionKey = "NSFileProtectionKey";
inline constexpr const char* NSFileTypeRegular = "NSFileTypeRegular";
inline constexpr const char* NSFileTypeDirectory = "NSFileTypeDirectory";
inline constexpr const char* NSFileTypeSymbolicLink = "NSFileTypeSymbolicLink";
inline constexpr const char* NSFileTypeUnknown = "NSFileTypeUnknown";
// File protection classes: accepted and kept nowhere (Linux has no such thing).
inline constexpr const char* NSFileProtectionNone = "NSFileProtectionNone";
inline constexpr const char* NSFileProtectionComplete = "NSFileProtectionComplete";
inline constexpr const char* NSFileProtectionCompleteUnlessOpen = "NSFileProtectionCompleteUnlessOpen";
inline constexpr const char* NSFileProtectionCompleteUntilFirstUserAuthentication
    = "NSFileProtectionCompleteUntilFirstUserAuthentication";

// Resource keys an enumerator can fetch for each entry.
inline constexpr const char* NSURLNameKey = "NSURLNameKey";
inline constexpr const char* NSURLIsDirectoryKey = "NSURLIsDirectoryKey";
inline constexpr const char* NSURLIsHiddenKey = "NSURLIsHiddenKey";
inline constexpr const char* NSURLContentModificationDateKey = "NSURLContentModificationDateKey";
inline constexpr const char* NSURLCreationDateKey = "NSURLCreationDateKey";
inline constexpr const char* NSURLFileSizeKey = "NSURLFileSizeKey";
inline constexpr const char* NSURLTotalFileAllocatedSizeKey = "NSURLTotalFileAllocatedSizeKey";

enum NSDirectoryEnumerationOptions : std::uint64_t {
    NSDirectoryEnumerationSkipsSubdirectoryDescendants = 1 << 0,
    NSDirectoryEnumerationSkipsPackageDescendants = 1 << 1,
    NSDirectoryEnumerationSkipsHiddenFiles = 1 << 2,
};

// Walks a folder depth first. Made by NSFileManager::enumeratorAtPath.
class NSDirectoryEnumerator final : public NSObject {
public:
    // The next entry: its path relative to the folder for the plain form, or its full path for
    // the form that fetches resource keys. Nothing once every entry has been seen.
    std::optional<std::string> nextObject();
    // Attributes of the entry last returned, as attributesOfItemAtPath gives them.
    Value fileAttributes() const;
    // The requested resource keys of the entry last returned.
    Value resourceValues() const;
    // Do not descend into the directory last returned.
    void skipDescendants();
    // 1 for entries directly in the folder, 2 one level down, ...
    std::size_t level() const;
    std::string className() const override { return "NSDirectoryEnumerator"; }

    NSDirectoryEnumerator(std::string root, std::vector<std::string> keys, std::uint64_t options, bool fullPaths);

private:
    std::string root_;
    std::vector<std::string> keys_;
    std::uint64_t options_;
    bool fullPaths_;
    bool started_ = false;
    std::filesystem::recursive_directory_iterator it_;
    std::filesystem::path current_;
};

class NSFileManager final : public NSObject {
public:
    static std::shared_ptr<NSFileManager> defaultManager();
    // A private manager ("[[NSFileManager alloc] init]"); it behaves as the default one.
    static std::shared_ptr<NSFileManager> create();

    bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
    bool isReadableFileAtPath(const std::string& path) const;
    bool isWritableFileAtPath(const std::string& path) const;

    // Makes the directory (and its parents when `withIntermediateDirectories`), then applies the
    // attributes. With intermediates, an existing directory is success; without, 516.
    bool createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
        const Value& attributes = {}, NSErrorRef* error = nullptr) const;
    // Writes the file atomically (replacing any file there) and applies the attributes.
    bool createFileAtPath(const std::string& path, const Bytes& contents, const Value& attributes = {}) const;
    std::optional<Bytes> contentsAtPath(const std::string& path) const;

    // The names in the folder (not "." or ".."), sorted by bytes; nothing and an error on failure.
    std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(
        const std::string& path, NSErrorRef* error = nullptr) const;
    // NSFileSize, NSFileModificationDate, NSFileCreationDate (birth time when the file system keeps
    // it, else the modification time), NSFileType, NSFilePosixPermissions, NSFileReferenceCount,
    // NSFileSystemFileNumber; absent and an error on failure. Symbolic links are not followed.
    Value attributesOfItemAtPath(const std::string& path, NSErrorRef* error = nullptr) const;
    // Applies NSFileModificationDate and NSFilePosixPermissions; other keys are ignored.
    bool setAttributes(const Value& attributes, const std::string& path, NSErrorRef* error = nullptr) const;

    // Removes a file, or a folder with everything in it. A missing item is error 4.
    bool removeItemAtPath(const std::string& path, NSErrorRef* error = nullptr) const;
    // An existing destination is error 516; across file systems the item is copied, then removed.
    bool moveItemAtPath(const std::string& source, const std::string& destination, NSErrorRef* error = nullptr) const;
    bool copyItemAtPath(const std::string& source, const std::string& destination, NSErrorRef* error = nullptr) const;

    // Every entry below the folder, hidden ones included, as relative paths.
    std::shared_ptr<NSDirectoryEnumerator> enumeratorAtPath(const std::string& path) const;
    // The same with full paths and the given resource keys fetched for each entry.
    std::shared_ptr<NSDirectoryEnumerator> enumeratorAtPath(
        const std::string& path, std::vector<std::string> keys, std::uint64_t options) const;

    // Extended attributes. A name without a namespace ("push.log.archived") lives in the "user."
    // namespace. Errors are in NSPOSIXErrorDomain with the errno as code (ENODATA: not there).
    bool hasExtendedAttribute(const std::string& name, const std::string& path) const;
    std::optional<Bytes> extendedAttribute(
        const std::string& name, const std::string& path, NSErrorRef* error = nullptr) const;
    bool setExtendedAttribute(const std::string& name, const Bytes& value, const std::string& path,
        NSErrorRef* error = nullptr) const;
    bool removeExtendedAttribute(const std::string& name, const std::string& path, NSErrorRef* error = nullptr) const;

    // The excluded-from-backup mark, kept as an extended attribute.
    bool setExcludedFromBackup(const std::string& path, bool excluded, NSErrorRef* error = nullptr) const;
    bool isExcludedFromBackup(const std::string& path) const;

    std::string className() const override { return "NSFileManager"; }
};
