#pragma once

#include <stdexcept>
#include <string>

// How a failure's number is shown after its description: "(error 6)".
inline std::string errorNumberText(int number)
{
    return "(error " + std::to_string(number) + ")";
}

// A failed serial operation, as the operator sees it: a number and a description in the console's words.
class SerialError : public std::runtime_error
{
public:
    enum Number {
        NoSuchDevice = 1,
        InUse = 2,
        NoPermission = 3,
        PortNotOpen = 4,
        WriteFailed = 5,
        LineLost = 6,
        OpenFailed = 7,
        BadSettings = 8,
        BadPortNumber = 9,
        LineBusy = 10,
        TooLong = 11,
    };

    SerialError(Number number, const std::string &description)
        : std::runtime_error(description), m_number(number)
    {
    }

    Number number() const { return m_number; }
    std::string description() const { return what(); }

private:
    Number m_number;
};
