// Seed images for the image fuzzer, made with the library itself.
#pragma once

// The password of the password-protected seed; the fuzzer also attaches with it.
constexpr const char* FUZZ_SEED_PASSWORD = "fuzz-seed";

// Writes the seed images into `dir` (created when missing); false on any failure.
bool WriteImageSeeds(const char* dir);
