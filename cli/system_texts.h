// The words that differ with the operating system: what a user does when the system denies
// access to the amp. One implementation per system (posix_texts.cpp, windows_texts.cpp).
#pragma once

#include <string>

namespace korva::cli {

// Follows "A KORVA is connected at PATH, but ".
std::string PermissionDeniedAdvice();

}  // namespace korva::cli
