// The program's own version (the project's version in the build) and the text that both
// programs print for --version.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// "4.04"
const char* ProgramVersion();

// "PROGRAM 4.04" and, on a second line, the firmware version that the program carries
// ("Ver1.38.250"), or that its carried images failed their checks when `carriedFirmware` is
// empty.
std::string VersionLines(std::string_view program, std::string_view carriedFirmware);

}  // namespace korva
