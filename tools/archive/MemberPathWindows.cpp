// Windows reads devices, drives, streams and trailing dots in names.
#include "MemberPath.h"

NameRules systemNameRules() { return NameRules::Windows; }
