// Every file of the seed corpus, and every input a fuzzer once broke the program with, run once
// through its harness in the ordinary native build. A broken invariant aborts the program; the
// last "replaying" line of the log names the file.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_harnesses.h"

namespace {

std::vector<std::string> CorpusFiles(const std::string& harness) {
    std::vector<std::string> files;
    const std::string folder = std::string(BRISKLET_FUZZ_CORPUS) + "/" + harness;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return files;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') files.push_back(folder + "/" + entry->d_name);
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + n);
    std::fclose(file);
    return bytes;
}

// Runs each file through the harness; returns how many ran. A harness always returns 0: what it
// checks is its invariants, and the first one broken aborts the program, which fails the run
// with the file named by the last "replaying" line.
size_t Replay(const std::string& harness, int (*run)(const uint8_t*, size_t)) {
    const std::vector<std::string> files = CorpusFiles(harness);
    for (const std::string& path : files) {
        std::fprintf(stderr, "replaying %s\n", path.c_str());
        const std::vector<uint8_t> bytes = ReadFile(path);
        // An empty vector has no data(): give the harness a valid pointer all the same.
        static const uint8_t none = 0;
        run(bytes.empty() ? &none : bytes.data(), bytes.size());
    }
    return files.size();
}

TEST(FuzzCorpus, ButtonFilesKeepEveryInvariant) { EXPECT_GE(Replay("button_file", FuzzButtonFile), 10u); }

TEST(FuzzCorpus, LegacyFilesKeepEveryInvariant) { EXPECT_GE(Replay("legacy_file", FuzzLegacyFile), 6u); }

TEST(FuzzCorpus, DroppedTextsKeepEveryInvariant) { EXPECT_GE(Replay("dropped_text", FuzzDroppedText), 4u); }

TEST(FuzzCorpus, BookmarkFilesKeepEveryInvariant) { EXPECT_GE(Replay("bookmark_file", FuzzBookmarkFile), 6u); }
TEST(FuzzCorpus, SiteIconsKeepEveryInvariant) { EXPECT_GE(Replay("site_icon", FuzzSiteIcon), 6u); }
TEST(FuzzCorpus, MergesKeepEveryInvariant) { EXPECT_GE(Replay("button_merge", FuzzButtonMerge), 4u); }

}  // namespace
