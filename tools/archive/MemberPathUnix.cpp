// Unix file systems take every name but "..", "." and the empty one as a plain file.
#include "MemberPath.h"

NameRules systemNameRules() { return NameRules::Posix; }
