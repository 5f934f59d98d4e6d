#pragma once
// Little-endian byte buffer for our file writers. Everything the game reads is
// little-endian and packed, so the writers append fields one by one instead of
// copying structs (no padding, no host byte order surprises).

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace datagen {

class ByteWriter {
public:
    void u8(std::uint8_t v) { bytes_.push_back(v); }
    void i8(std::int8_t v) { u8(static_cast<std::uint8_t>(v)); }
    void u16(std::uint16_t v)
    {
        u8(static_cast<std::uint8_t>(v & 0xFF));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            u8(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void bytes(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    // s followed by a zero byte.
    void cString(std::string_view s)
    {
        bytes(s);
        u8(0);
    }
    // s zero-padded to exactly width bytes; s must leave room for a terminator.
    void fixedString(std::string_view s, std::size_t width)
    {
        assert(s.size() < width && "fixed-width string field too short for its text");
        bytes(s);
        bytes_.insert(bytes_.end(), width - s.size(), 0);
    }
    // Overwrites a u32 written earlier (chunk lengths known only at the end).
    void patchU32(std::size_t offset, std::uint32_t v)
    {
        assert(offset + 4 <= bytes_.size() && "patch outside the written bytes");
        for (int i = 0; i < 4; ++i)
            bytes_[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    }
    std::size_t size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& data() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace datagen
