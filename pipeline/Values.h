// The words and numbers a user types for a value, on the command line and
// in the terminal panel. Each parser returns false for a bad value and
// leaves `out` alone.
#pragma once

#include <cstdint>
#include <string>

// The items of the plug-in's two choices, as words: item 0, 1, 2.
inline constexpr const char* kLoadWords[] = {"lines", "faces", "both"};
inline constexpr const char* kColourWords[] = {"bright", "middle", "dark"};

bool ParseLoadTarget(const std::string& text, int32_t& out); // lines|faces|both, any case
bool ParseColourSet(const std::string& text, int32_t& out);  // bright|middle|dark, any case
bool ParseOnOff(const std::string& text, int32_t& out);      // on|off|yes|no|1|0|true|false
// What ParseOnOff takes, for messages.
inline constexpr char kOnOffExpected[] = "on or off; also yes/no, true/false, 1/0";
bool ParseFiniteDouble(const std::string& text, double& out);   // whole text, finite
bool ParsePositiveDouble(const std::string& text, double& out); // ... and above 0
bool ParseInt32(const std::string& text, int32_t& out);         // whole text, decimal
bool ParseScreenSize(const std::string& text, int32_t& width,
                     int32_t& height); // WxH, each 0..2^31-1
