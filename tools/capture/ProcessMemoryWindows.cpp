// The allocator on Windows: the system's heap keeps its own policy (no setting for it here).
#include "ProcessMemory.h"

namespace capture {

bool keepFreedBlocksForReuse() { return false; }

}  // namespace capture
