// How far the process's resident memory rose during a piece of a test, for tests that feed the
// loader hostile replies.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace network::test {

inline std::int64_t statusKiB(const std::string& field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1));
    return 0;
}

// How far resident memory rose above where it stood at construction.
class PeakGrowth {
public:
    PeakGrowth()
    {
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from now
        start_ = statusKiB("VmRSS");
    }
    std::int64_t mebibytes() const { return (statusKiB("VmHWM") - start_) / 1024; }

private:
    std::int64_t start_;
};

} // namespace network::test
