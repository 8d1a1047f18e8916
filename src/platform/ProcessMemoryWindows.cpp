// The allocator on Windows: the system's heap keeps its own policy (no setting for it here).
#include "platform/ProcessMemory.h"

namespace platform {

bool keepFreedBlocksForReuse() { return false; }

}  // namespace platform
