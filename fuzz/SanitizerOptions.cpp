// AddressSanitizer defaults for every fuzz target (ASAN_OPTIONS still overrides them). The
// quarantine, which keeps freed blocks poisoned to catch late uses, is cut from 256 MB to 16 MB:
// the targets' buffers live for one input, so a use after free is still caught unless more than
// 16 MB were freed in between, and peak memory stays near the working set instead of 300 MB.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
