// Random UUIDs (see NSUUID.h).
#include "platform/foundation/NSUUID.h"

#include <cstdio>
#include <random>
#include <sys/random.h>

NSUUID::NSUUID()
{
    std::size_t filled = 0;
    while (filled < bytes_.size()) {
        ssize_t n = getrandom(bytes_.data() + filled, bytes_.size() - filled, 0);
        if (n <= 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    if (filled < bytes_.size()) {
        std::random_device device;
        for (auto& b : bytes_)
            b = static_cast<std::uint8_t>(device());
    }
    bytes_[6] = static_cast<std::uint8_t>((bytes_[6] & 0x0f) | 0x40); // version 4
    bytes_[8] = static_cast<std::uint8_t>((bytes_[8] & 0x3f) | 0x80); // RFC 4122 variant
}

std::optional<NSUUID> NSUUID::initWithUUIDString(std::string_view text)
{
    if (text.size() != 36)
        return std::nullopt;
    NSUUID uuid;
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i++] != '-')
                return std::nullopt;
            continue;
        }
        int byte = 0;
        for (int k = 0; k < 2; ++k, ++i) {
            char c = text[i];
            int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (v < 0)
                return std::nullopt;
            byte = byte * 16 + v;
        }
        uuid.bytes_[out++] = static_cast<std::uint8_t>(byte);
    }
    return uuid;
}

std::string NSUUID::UUIDString() const
{
    char buffer[40];
    const auto& b = bytes_;
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
        b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return buffer;
}
