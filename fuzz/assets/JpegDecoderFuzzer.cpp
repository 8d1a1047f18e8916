// libFuzzer entry: the input is a whole JPEG file, decoded from memory through the loader's own
// path (the same stdio source, error and warning handling as a file) under the fuzzing budget.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "PixelCheck.h"
#include "assets/JpegLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int width = -1;
    int height = -1;
    std::unique_ptr<unsigned char[]> pixels;
    const int ok = assets::decodeJpegMemory(data, size, width, height, pixels, fuzzcheck::kBudget);
    if (!ok && (width != 0 || height != 0)) std::abort();  // a failure stores 0, 0 and null
    fuzzcheck::checkDecoded(ok != 0, width, height, pixels, 3, fuzzcheck::kBudget);
    return 0;
}
