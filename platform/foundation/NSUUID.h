// NSUUID: a random (version 4) UUID, written as uppercase 8-4-4-4-12 hexadecimal.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class NSUUID {
public:
    // A new random UUID (from the kernel's random source).
    NSUUID();
    static NSUUID UUID() { return NSUUID(); }
    // nullopt unless the text is 8-4-4-4-12 hexadecimal digits (either case).
    static std::optional<NSUUID> initWithUUIDString(std::string_view text);

    std::string UUIDString() const;
    const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
    bool operator==(const NSUUID&) const = default;

private:
    std::array<std::uint8_t, 16> bytes_ {};
};
