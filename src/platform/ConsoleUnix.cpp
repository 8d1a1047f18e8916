// Unix programs keep the standard streams they were started with: there is nothing to attach.
#include "platform/Console.h"

namespace platform {

bool attachParentConsole() { return true; }

}  // namespace platform
