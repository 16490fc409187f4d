// TempHome: make, switch to, and remove a temporary app home.
#include "testing/TempHome.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/persistence/AppHome.h"
#include "platform/persistence/NSBundle.h"
#include "platform/persistence/NSUserDefaults.h"

namespace testing_support {

TempHome::TempHome()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillmark-home-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("TempHome: cannot make a temporary folder");
    path_ = pattern;
    if (const char* old = std::getenv("QUILLMARK_HOME"))
        previous_ = old;
    ::setenv("QUILLMARK_HOME", path_.c_str(), 1);
    NSUserDefaults::resetStandardUserDefaults();
    NSHomeDirectory(); // lay out the home's folders
}

TempHome::~TempHome()
{
    NSUserDefaults::resetStandardUserDefaults();
    if (previous_)
        ::setenv("QUILLMARK_HOME", previous_->c_str(), 1);
    else
        ::unsetenv("QUILLMARK_HOME");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempHome::pathFor(std::string_view relative) const
{
    return persistence::appendPathComponent(path_, relative);
}

std::string TempHome::useMainBundle(std::string_view name, std::string_view plistEntries) const
{
    std::string folder = pathFor(name);
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/Info.plist") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                          << plistEntries << "</dict></plist>\n";
    NSBundle::setMainBundlePath(folder);
    return folder;
}

} // namespace testing_support
