// The libFuzzer entry of one harness; the build names the harness with FUZZ_HARNESS.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/site_icons.h"
#include "tests/fuzz/fuzz_harnesses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return FUZZ_HARNESS(data, size); }

// libFuzzer makes inputs of at most 4,096 bytes unless told otherwise; the site icons' caps lie
// far beyond, so that harness is given the longest response that is read, unless the command
// line names a length of its own.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (FUZZ_HARNESS != &FuzzSiteIcon) return 0;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], "-max_len=", 9) == 0) return 0;
    }
    static char maxLen[32];
    std::snprintf(maxLen, sizeof maxLen, "-max_len=%zu", kIconResponseLimit);
    static std::vector<char*> arguments;
    arguments.assign(*argv, *argv + *argc);
    arguments.insert(arguments.begin() + 1, maxLen);
    arguments.push_back(nullptr);
    *argc += 1;
    *argv = arguments.data();
    return 0;
}
