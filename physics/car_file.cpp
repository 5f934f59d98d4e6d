#include "physics/car_file.h"

#include "assets/data_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a number, given as its mantissa ("12.5") and exponent part
// ("e-60", or empty), is less than 1 in magnitude. Decides, for a number a
// float cannot hold, between too small and too large, however many digits
// either part has.
bool belowOne(std::string_view mantissa, std::string_view exponentPart)
{
    long long integerDigits = 0;
    long long digitIndex = 0;
    long long firstNonZero = -1;  // index among all the mantissa's digits
    bool inFraction = false;
    for (char c : mantissa) {
        if (c == '.') {
            inFraction = true;
            continue;
        }
        if (firstNonZero < 0 && c != '0')
            firstNonZero = digitIndex;
        ++digitIndex;
        if (!inFraction)
            ++integerDigits;
    }
    if (firstNonZero < 0)
        return true;  // all zeros
    // The power of ten of the first digit that is not 0: 1 for "12.5", -2 for "0.05".
    const long long leadingPower = integerDigits - 1 - firstNonZero;

    long long exponent = 0;
    bool negativeExponent = false;
    for (char c : exponentPart) {
        if (c == '-')
            negativeExponent = true;
        else if (isDigit(c))  // held beyond any mantissa's length, without overflow
            exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000'000'000LL);
    }
    return leadingPower + (negativeExponent ? -exponent : exponent) < 0;
}

enum class TokenStatus { Ok, Missing, NotANumber, OutOfRange };

// Reads one number at pos the way stream extraction of a float does: white
// space, then sign, digits, fraction, exponent. On success pos is past the
// number; otherwise token holds what stood there instead.
TokenStatus readNumber(std::string_view bytes, std::size_t& pos, float& value, std::string_view& token)
{
    while (pos < bytes.size() && isSpace(bytes[pos]))
        ++pos;
    if (pos == bytes.size())
        return TokenStatus::Missing;

    const std::size_t start = pos;
    std::size_t end = pos;
    bool negative = false;
    if (bytes[end] == '+' || bytes[end] == '-') {
        negative = bytes[end] == '-';
        ++end;
    }
    const std::size_t digitsStart = end;
    std::size_t digits = 0;
    std::size_t exponentStart = std::string_view::npos;
    while (end < bytes.size() && isDigit(bytes[end])) {
        ++end;
        ++digits;
    }
    if (end < bytes.size() && bytes[end] == '.') {
        ++end;
        while (end < bytes.size() && isDigit(bytes[end])) {
            ++end;
            ++digits;
        }
    }
    bool ok = digits > 0;
    // An exponent mark is taken as part of the number, so "2e" or "2e+" is
    // malformed as a whole, as it is for a stream.
    if (ok && end < bytes.size() && (bytes[end] == 'e' || bytes[end] == 'E')) {
        exponentStart = end;
        ++end;
        if (end < bytes.size() && (bytes[end] == '+' || bytes[end] == '-'))
            ++end;
        std::size_t exponentDigits = 0;
        while (end < bytes.size() && isDigit(bytes[end])) {
            ++end;
            ++exponentDigits;
        }
        ok = exponentDigits > 0;
    }

    // What to show in a message: the offending word, cut short.
    std::size_t wordEnd = start;
    while (wordEnd < bytes.size() && !isSpace(bytes[wordEnd]) && wordEnd - start < 24)
        ++wordEnd;
    token = bytes.substr(start, wordEnd - start);
    if (!ok)
        return TokenStatus::NotANumber;

    float magnitudeValue = 0.0f;
    const auto [ptr, ec] = std::from_chars(bytes.data() + digitsStart, bytes.data() + end, magnitudeValue,
                                           std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        const std::string_view number = bytes.substr(digitsStart, end - digitsStart);
        const std::size_t mantissaLength = exponentStart == std::string_view::npos ? number.size()
                                                                                   : exponentStart - digitsStart;
        if (!belowOne(number.substr(0, mantissaLength), number.substr(mantissaLength)))
            return TokenStatus::OutOfRange;
        // Too small for a float: it reads as 0, as it does for a stream.
        magnitudeValue = 0.0f;
    } else if (ec != std::errc()) {
        return TokenStatus::NotANumber;
    }
    if (ptr != bytes.data() + end)
        return TokenStatus::NotANumber;
    value = negative ? -magnitudeValue : magnitudeValue;
    pos = end;
    return TokenStatus::Ok;
}

std::string printable(std::string_view token)
{
    std::string out;
    for (char c : token)
        out += (c >= 0x20 && c < 0x7f) ? c : '?';
    return out;
}

template <typename... Args>
std::string format(const char* fmt, Args... args)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

}  // namespace

CarFileResult parseCarParams(std::string_view bytes, std::string_view fileName)
{
    const std::string file(fileName);
    float values[kCarParamCount] = {};
    std::size_t pos = 0;
    for (int i = 0; i < kCarParamCount; ++i) {
        std::string_view token;
        const int number = i + 1;
        switch (readNumber(bytes, pos, values[i], token)) {
        case TokenStatus::Ok:
            break;
        case TokenStatus::Missing:
            return {std::nullopt,
                    format("The car file \"%s\" holds only %d of its %d numbers: number %d (%s) is missing.",
                           file.c_str(), i, kCarParamCount, number, kCarParamNames[i])};
        case TokenStatus::NotANumber:
            return {std::nullopt, format("The car file \"%s\" has \"%s\" where number %d of %d (%s) should be.",
                                         file.c_str(), printable(token).c_str(), number, kCarParamCount,
                                         kCarParamNames[i])};
        case TokenStatus::OutOfRange:
            return {std::nullopt,
                    format("In the car file \"%s\", number %d of %d (%s) is \"%s\", beyond what a float can hold.",
                           file.c_str(), number, kCarParamCount, kCarParamNames[i], printable(token).c_str())};
        }
    }

    CarParams params;
    float* fields[kCarParamCount] = {&params.chassisSizeX, &params.chassisSizeY, &params.chassisSizeZ,
                                     &params.chassisX,     &params.chassisY,     &params.chassisZ,
                                     &params.wheelRadius,  &params.rearTrack,    &params.frontTrack,
                                     &params.rearAxleX,    &params.frontAxleX};
    for (int i = 0; i < kCarParamCount; ++i)
        *fields[i] = values[i];

    // Sizes and the radius give the bodies their masses: they must be positive,
    // and get their own message. Every number must then lie in its range.
    for (int i = 0; i < kCarParamCount; ++i) {
        const bool mustBePositive = i <= 2 || i == 6;
        const double value = values[i];
        if (mustBePositive && !(value > 0.0))
            return {std::nullopt, format("In the car file \"%s\", number %d of %d (%s) is %g; it must be greater "
                                         "than 0.",
                                         file.c_str(), i + 1, kCarParamCount, kCarParamNames[i], value)};
        const CarParamRange range = kCarParamRanges[i];
        if (!(value >= range.min && value <= range.max))
            return {std::nullopt, format("In the car file \"%s\", number %d of %d (%s) is %g; it must lie between "
                                         "%g and %g.",
                                         file.c_str(), i + 1, kCarParamCount, kCarParamNames[i], value,
                                         static_cast<double>(range.min), static_cast<double>(range.max))};
    }
    return {params, {}};
}

CarFileResult readCarFile(const char* fileName)
{
    std::string why;
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName, &why);
    if (!bytes)
        return {std::nullopt, format("Cannot open the car file \"%s\": %s.", fileName, why.c_str())};
    return parseCarParams({reinterpret_cast<const char*>(bytes->data()), bytes->size()}, fileName);
}
