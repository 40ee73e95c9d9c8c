// The libFuzzer entry of one harness; the build names the harness with FUZZ_HARNESS.
#include "tests/fuzz/fuzz_harnesses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return FUZZ_HARNESS(data, size); }
