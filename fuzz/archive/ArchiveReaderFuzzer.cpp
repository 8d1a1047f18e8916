// libFuzzer entry: the input is a whole archive, read from memory; the member "m" is asked for
// under the program's pass phrase.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "datafiles/ArchiveReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> copy(data, data + size);
  std::FILE* archive = fmemopen(copy.data(), copy.size(), "rb");
  if (!archive) return 0;
  uint8_t* member = nullptr;
  uint32_t memberSize = 0;
  if (datafiles::extractMember("m", archive, "marzipol", member, memberSize)) {
    // Touch every byte handed over, so a short buffer shows under AddressSanitizer.
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < memberSize; ++i) sum = uint8_t(sum + member[i]);
    std::free(member);
  } else if (member != nullptr || memberSize != 0) {
    std::abort();  // a failure hands back null and 0
  }
  std::fclose(archive);
  return 0;
}
