// Files for the tests that choose them as a user would: the bytes of firmware and WAV files
// (file_bytes.h) and a scratch folder that is removed with the test
// (scratch_folder.h).
#pragma once

#include "tests/shared/file_bytes.h"
#include "tests/shared/scratch_folder.h"
