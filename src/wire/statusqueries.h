#pragma once

#include <array>
#include <string_view>

// The codes of the status queries whose replies the console decodes; the first five have buttons.
namespace StatusQuery {
constexpr std::string_view OperatingState = "CR0";
constexpr std::string_view SelectedInput = "CR1";
constexpr std::string_view LampHours = "CR3";
constexpr std::string_view PictureOrientation = "CR4";
constexpr std::string_view Temperatures = "CR6";
constexpr std::string_view LampMode = "CR7";
constexpr std::string_view StatusLine = "CR9";
constexpr std::string_view MuteAndSignal = "CRA";
constexpr std::string_view Pressure = "CR PRESSURE";
} // namespace StatusQuery

// Every decoded status query, in the order a status watch asks them.
constexpr std::array<std::string_view, 9> StatusQueries = {
    StatusQuery::OperatingState,     StatusQuery::SelectedInput, StatusQuery::LampHours,
    StatusQuery::PictureOrientation, StatusQuery::Temperatures,  StatusQuery::LampMode,
    StatusQuery::StatusLine,         StatusQuery::MuteAndSignal, StatusQuery::Pressure,
};
