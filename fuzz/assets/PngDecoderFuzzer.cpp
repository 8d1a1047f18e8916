// libFuzzer entry: the input is a whole PNG file, decoded from memory through the loader's own
// path (libpng with its limits, transforms and error return) under the fuzzing budget.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "PixelCheck.h"
#include "assets/PngLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int width = -1;
    int height = -1;
    std::unique_ptr<unsigned char[]> pixels;
    const bool ok = assets::decodePngMemory(data, size, width, height, pixels, fuzzcheck::kBudget);
    if (!ok && width != -1) std::abort();  // a failure leaves the out-arguments as they were
    fuzzcheck::checkDecoded(ok, width, height, pixels, 4, fuzzcheck::kBudget);
    return 0;
}
