// The version texts.
#include "support/program_version.h"

#include "support/version_number.h"

namespace korva {

const char* ProgramVersion() { return KORVA_PROGRAM_VERSION; }

std::string VersionLines(std::string_view program, std::string_view carriedFirmware) {
  std::string text = std::string(program) + " " + ProgramVersion() + "\n";
  if (carriedFirmware.empty())
    return text + "Carried KORVA firmware: none (the carried images failed their checks)\n";
  return text + "Carried KORVA firmware: " + std::string(carriedFirmware) + "\n";
}

}  // namespace korva
