#include "wire/numberreading.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

namespace {

constexpr int HexadecimalRadix = 16;
constexpr int OctalRadix = 8;
// Far beyond any double's range, yet small enough that adding a digit count cannot overflow.
constexpr long long ExponentCap = 1'000'000'000;

bool isSkipped(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of c as a digit of any radix up to 36, or -1.
int digitValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    return -1;
}

std::string withoutSkipped(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (!isSkipped(c))
            kept.push_back(c);
    }
    return kept;
}

// Grows past any double into an infinity rather than wrapping.
double readInteger(std::string_view digits, int radix)
{
    double value = 0;
    for (char c : digits) {
        const int digit = digitValue(c);
        if (digit < 0 || digit >= radix)
            break;
        value = value * radix + digit;
    }
    return value;
}

std::size_t countDigits(std::string_view text, std::size_t from)
{
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    return end - from;
}

// A decimal number read as far as it goes: sign, digits, one point, and an exponent only if it has digits.
double readDecimal(std::string_view text)
{
    std::size_t at = 0;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;

    const std::string_view whole = text.substr(at, countDigits(text, at));
    at += whole.size();
    std::string_view fraction;
    if (at < text.size() && text[at] == '.') {
        fraction = text.substr(at + 1, countDigits(text, at + 1));
        at += 1 + fraction.size();
    }
    if (whole.empty() && fraction.empty())
        return 0;

    long long exponent = 0;
    if (at < text.size() && (text[at] == 'E' || text[at] == 'e' || text[at] == 'D' || text[at] == 'd')) {
        std::size_t digitsAt = at + 1;
        const bool negativeExponent = digitsAt < text.size() && text[digitsAt] == '-';
        if (digitsAt < text.size() && (text[digitsAt] == '-' || text[digitsAt] == '+'))
            ++digitsAt;
        for (std::size_t i = digitsAt; i < text.size() && isDigit(text[i]); ++i)
            exponent = std::min(exponent * 10 + (text[i] - '0'), ExponentCap);
        if (negativeExponent)
            exponent = -exponent;
    }

    std::string normal(whole.empty() ? std::string_view("0") : whole);
    if (!fraction.empty())
        normal.append(".").append(fraction);
    normal.append("e").append(std::to_string(exponent));

    double value = 0;
    const auto read = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (read.ec == std::errc::result_out_of_range) {
        // Only the decimal order of magnitude tells overflow from underflow.
        const std::size_t leadingZeros = whole.find_first_not_of('0');
        long long order = exponent;
        if (leadingZeros != std::string_view::npos)
            order += static_cast<long long>(whole.size() - leadingZeros);
        else
            order -= static_cast<long long>(std::min(fraction.find_first_not_of('0'), fraction.size()));
        value = order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

} // namespace

double readNumber(std::string_view text)
{
    const std::string kept = withoutSkipped(text);
    const std::string_view number = kept;
    if (number.size() >= 2 && number[0] == '&') {
        if (number[1] == 'H' || number[1] == 'h')
            return readInteger(number.substr(2), HexadecimalRadix);
        if (number[1] == 'O' || number[1] == 'o')
            return readInteger(number.substr(2), OctalRadix);
    }
    return readDecimal(number);
}
