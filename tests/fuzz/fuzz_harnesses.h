// The fuzz harnesses, one per kind of outside input. Each takes any bytes, runs them through the
// program's core on in-memory files and registry, and aborts when an invariant breaks. The
// libFuzzer entry (fuzz_entry.cpp) and the corpus replay test call them.
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzButtonFile(const uint8_t* data, size_t size);
int FuzzLegacyFile(const uint8_t* data, size_t size);
int FuzzDroppedText(const uint8_t* data, size_t size);
int FuzzBookmarkFile(const uint8_t* data, size_t size);
int FuzzSiteIcon(const uint8_t* data, size_t size);
int FuzzButtonMerge(const uint8_t* data, size_t size);
