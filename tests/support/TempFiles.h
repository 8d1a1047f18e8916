#pragma once
// Scratch files for tests, the same on every system: bytes behind a FILE* opened for reading, and
// a fresh folder under the system's temporary folder. Header-only: the benchmarks use it too.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace testsupport {

// A stream to read a copy of `bytes` from (an anonymous temporary file, removed when closed),
// positioned at the start. Throws std::runtime_error when none can be made.
inline std::FILE* openBytes(const std::vector<std::uint8_t>& bytes) {
    // Windows' C library names its temporary files from a counter of its own, so that test programs
    // running side by side can reach for the same name: another try takes the next one.
    std::FILE* f = nullptr;
    for (int attempt = 0; attempt < 100 && !f; ++attempt) f = std::tmpfile();
    if (!f) throw std::runtime_error("cannot make a temporary file");
    if ((!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) || std::fflush(f) != 0) {
        std::fclose(f);
        throw std::runtime_error("cannot write a temporary file");
    }
    std::rewind(f);
    return f;
}

// Makes a new, empty folder whose name starts with `prefix` under the temporary folder and returns
// its path. Throws std::runtime_error when it cannot.
inline std::string makeTempDir(const std::string& prefix) {
    namespace fs = std::filesystem;
    static std::mt19937_64 random(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        std::random_device{}());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path dir = base / (prefix + std::to_string(random() % 1000000000));
        std::error_code error;
        if (fs::create_directory(dir, error)) return dir.string();  // false: it was there already
    }
    throw std::runtime_error("cannot make a temporary folder under " + base.string());
}

}  // namespace testsupport
