#pragma once
// The application shell's name for the program-wide fatal error report, which lives in the
// platform layer (platform/FatalError.h) so that the loaders below the shell can use it too.
#include "platform/FatalError.h"

namespace app {

using platform::FatalErrorHandler;
using platform::reportFatalError;
using platform::setFatalErrorHandler;

}  // namespace app
