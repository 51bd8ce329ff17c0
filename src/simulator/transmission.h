#pragma once

#include <chrono>
#include <string>

// One piece of a reply and the clock value at which it goes on the line.
struct Transmission
{
    std::chrono::milliseconds at{0};
    std::string bytes;
};
