#pragma once
// Bytes in and out, little-endian, for the network's messages. The writer
// appends to a vector; the reader walks a span and goes sticky-bad on the
// first read past the end, returning zeros from then on, so a decoder reads
// straight through and checks ok() once (and atEnd() for trailing bytes).

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void i8(std::int8_t v) { u8(static_cast<std::uint8_t>(v)); }
    void u16(std::uint16_t v)
    {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void u32(std::uint32_t v)
    {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void u64(std::uint64_t v)
    {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void f32(float v)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    // Seven bits a byte, low first, the top bit saying more follow: small
    // numbers in one byte.
    void var32(std::uint32_t v)
    {
        while (v >= 0x80) {
            u8(static_cast<std::uint8_t>(v | 0x80));
            v >>= 7;
        }
        u8(static_cast<std::uint8_t>(v));
    }
    // A signed difference near zero either way in few bytes (zigzag).
    void svar32(std::int32_t v)
    {
        const auto u = static_cast<std::uint32_t>(v);
        var32((u << 1) ^ (v < 0 ? 0xffffffffu : 0u));
    }
    void bytes(std::span<const std::uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
    // A length byte and the bytes; the caller keeps it within 255.
    void text(const std::string& s)
    {
        u8(static_cast<std::uint8_t>(s.size()));
        out_.insert(out_.end(), s.begin(), s.end());
    }
    std::size_t size() const { return out_.size(); }

private:
    std::vector<std::uint8_t>& out_;
};

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint8_t u8()
    {
        if (!ok_ || at_ >= bytes_.size()) {
            ok_ = false;
            return 0;
        }
        return bytes_[at_++];
    }
    std::int8_t i8() { return static_cast<std::int8_t>(u8()); }
    std::uint16_t u16()
    {
        const std::uint16_t lo = u8();
        return static_cast<std::uint16_t>(lo | (u8() << 8));
    }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32()
    {
        const std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint64_t u64()
    {
        const std::uint64_t lo = u32();
        return lo | (static_cast<std::uint64_t>(u32()) << 32);
    }
    float f32()
    {
        const std::uint32_t bits = u32();
        float v = 0.0f;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // var32's form: at most five bytes, the fifth holding only the top four bits.
    std::uint32_t var32()
    {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const std::uint8_t b = u8();
            if (shift == 28 && b > 0x0f)
                ok_ = false;
            v |= static_cast<std::uint32_t>(b & 0x7f) << shift;
            if (!(b & 0x80) || !ok_)
                return ok_ ? v : 0;
        }
        return 0;  // unreachable: the fifth byte ends it or fails
    }
    std::int32_t svar32()
    {
        const std::uint32_t u = var32();
        return static_cast<std::int32_t>((u >> 1) ^ (0u - (u & 1u)));
    }
    // n bytes as they are (empty, and bad, when fewer are left).
    std::span<const std::uint8_t> bytes(std::size_t n)
    {
        if (!ok_ || bytes_.size() - at_ < n) {
            ok_ = false;
            return {};
        }
        const auto b = bytes_.subspan(at_, n);
        at_ += n;
        return b;
    }
    // A length byte and that many bytes, at most limit of them.
    std::string text(std::size_t limit)
    {
        const std::size_t n = u8();
        if (!ok_ || n > limit || bytes_.size() - at_ < n) {
            ok_ = false;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(bytes_.data() + at_), n);
        at_ += n;
        return s;
    }
    bool ok() const { return ok_; }
    bool atEnd() const { return ok_ && at_ == bytes_.size(); }
    std::size_t remaining() const { return ok_ ? bytes_.size() - at_ : 0; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};
