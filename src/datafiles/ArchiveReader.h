#pragma once
// Reading single members out of the data archive: RAR version 2.0 blocks, members stored or
// compressed with the version 2.0 method, optionally enciphered with the version 2.0 cipher.
// Every call is self-contained and reentrant: it opens the archive, walks the blocks from the start
// to the member asked for, produces its whole content, checks it against the recorded CRC-32 and
// closes the archive. Nothing is cached between calls.
#include <cstdint>
#include <cstdio>
#include <string>

namespace datafiles {

// Finds `memberName` (compared after folding: '\' and '/' become '_', a-z become A-Z) in the
// archive at `archivePath` and hands over its content.
// Success: returns 1, `data` is a buffer of `size` bytes on the standard heap (release it with
// std::free; it is never null, even for an empty member). Failure: returns 0, `data` is null and
// `size` 0. Failures: the archive cannot be opened or does not start with an accepted marker, a
// damaged or cut-short block, the member is not found, a sub-block comes first, an unsupported
// version, sizes that cannot come from the packed data, or content that fails its CRC-32 (which is
// also how a wrong pass phrase shows). A null pass phrase counts as an empty one.
int extractMember(const std::string& memberName, const std::string& archivePath,
                  const char* passPhrase, uint8_t*& data, uint32_t& size);

// The same on an archive stream that is already open; the archive starts at offset 0 of the
// stream, which is left open. Used for in-memory archives (fmemopen).
int extractMember(const std::string& memberName, std::FILE* archive, const char* passPhrase,
                  uint8_t*& data, uint32_t& size);

}  // namespace datafiles
