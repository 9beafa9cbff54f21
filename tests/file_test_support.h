// Files for the tests that choose them as a user would: the bytes of firmware and WAV files
// (tests/file_bytes.h) and a scratch folder that is removed with the test
// (tests/scratch_folder.h).
#pragma once

#include "tests/file_bytes.h"
#include "tests/scratch_folder.h"
