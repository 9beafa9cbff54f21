// Texts that the dispatcher and the jobs show themselves, byte for byte.
#pragma once

namespace korva {

// GBK's full-width exclamation mark (U+FF01).
#define KORVA_FULLWIDTH_EXCLAMATION "\xA3\xA1"

inline constexpr const char* kTextInitStatesFailed = "Fail to initialize states of device!";
inline constexpr const char* kTextInitStatesFailedWide =
    "Fail to initialize states of device" KORVA_FULLWIDTH_EXCLAMATION;

}  // namespace korva
