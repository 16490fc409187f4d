// NSDirectoryEnumerator: a depth-first walk of a folder, hidden entries optionally skipped.
#include "platform/persistence/NSFileManager.h"

#include "platform/persistence/FileStat.h"

namespace fs = std::filesystem;

NSDirectoryEnumerator::NSDirectoryEnumerator(
    std::string root, std::vector<std::string> keys, std::uint64_t options, bool fullPaths)
    : root_(std::move(root))
    , keys_(std::move(keys))
    , options_(options)
    , fullPaths_(fullPaths)
{
}

std::optional<std::string> NSDirectoryEnumerator::nextObject()
{
    std::error_code ec;
    const fs::recursive_directory_iterator end;
    if (!started_) {
        started_ = true;
        it_ = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
        if (ec)
            it_ = end;
    } else if (it_ != end) {
        it_.increment(ec);
        if (ec)
            it_ = end;
    }
    const bool skipHidden = options_ & NSDirectoryEnumerationSkipsHiddenFiles;
    while (it_ != end) {
        const fs::path& path = it_->path();
        std::string name = path.filename().string();
        if (skipHidden && !name.empty() && name[0] == '.') {
            it_.disable_recursion_pending();
            it_.increment(ec);
            if (ec)
                it_ = end;
            continue;
        }
        if (options_ & NSDirectoryEnumerationSkipsSubdirectoryDescendants)
            it_.disable_recursion_pending();
        current_ = path;
        if (fullPaths_)
            return path.string();
        return path.lexically_relative(root_).string();
    }
    current_.clear();
    return std::nullopt;
}

Value NSDirectoryEnumerator::fileAttributes() const
{
    auto info = persistence::statPath(current_.string());
    return info ? persistence::attributesFrom(*info) : Value();
}

Value NSDirectoryEnumerator::resourceValues() const
{
    auto info = persistence::statPath(current_.string());
    return info ? persistence::resourceValuesFrom(*info, current_.string(), keys_) : Value();
}

void NSDirectoryEnumerator::skipDescendants()
{
    if (started_ && it_ != fs::recursive_directory_iterator())
        it_.disable_recursion_pending();
}

std::size_t NSDirectoryEnumerator::level() const
{
    if (!started_ || it_ == fs::recursive_directory_iterator())
        return 0;
    return static_cast<std::size_t>(it_.depth()) + 1;
}
