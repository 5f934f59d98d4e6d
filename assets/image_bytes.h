#pragma once
// Bounded little-endian reads over a file's bytes, shared by the image
// decoders. Every read is at an offset the caller has checked with has();
// the assertion catches a decoder that forgot to.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <span>

// No decoded image may be larger than this, whatever the file says.
inline constexpr std::uint64_t kMaxImageBytes = std::uint64_t{1} << 30;

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    // True when count bytes starting at offset are all present.
    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    const std::uint8_t* at(std::size_t offset) const
    {
        assert(offset <= bytes_.size() && "read past the end of the file");
        return bytes_.data() + offset;
    }
    std::uint8_t u8(std::size_t offset) const
    {
        assert(has(offset, 1) && "read past the end of the file");
        return bytes_[offset];
    }
    std::uint16_t u16(std::size_t offset) const
    {
        assert(has(offset, 2) && "read past the end of the file");
        return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
    }
    std::uint32_t u32(std::size_t offset) const
    {
        assert(has(offset, 4) && "read past the end of the file");
        return static_cast<std::uint32_t>(bytes_[offset]) | static_cast<std::uint32_t>(bytes_[offset + 1]) << 8 |
               static_cast<std::uint32_t>(bytes_[offset + 2]) << 16 |
               static_cast<std::uint32_t>(bytes_[offset + 3]) << 24;
    }
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }

private:
    std::span<const std::uint8_t> bytes_;
};

// The product of the factors; false when it does not fit in 64 bits.
inline bool checkedProduct(std::initializer_list<std::uint64_t> factors, std::uint64_t& product)
{
    std::uint64_t p = 1;
    for (const std::uint64_t f : factors) {
        if (f != 0 && p > std::numeric_limits<std::uint64_t>::max() / f)
            return false;
        p *= f;
    }
    product = p;
    return true;
}
