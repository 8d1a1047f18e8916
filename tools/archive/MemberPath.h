#pragma once
// Which members' names may be written below the output folder, and as which folders and file.
// A pure function of the name: the file-system side (links, existing files) is OutputFolder's.
//
// Two sets of rules. Posix: the name must stay inside the output folder (no leading separator, no
// drive, no ".." part). Windows adds what that system would read as something other than a plain
// file in the folder: a drive ("C:\x", "C:x"), a device or network prefix ("\\?\", "\\.\",
// "\\server"), a device name as any part (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an
// extension), a ':' (an alternate data stream), a part ending in a dot or space (which Windows
// drops, so that two names would meet), and the characters Windows does not allow in names.
// Each system extracts by its own rules (systemNameRules): Linux keeps taking names such as
// "aux.c" or "a:b" that are ordinary files there.
#include <optional>
#include <string>
#include <vector>

enum class NameRules { Posix, Windows };

// The rules of the file system this program runs on (MemberPath<System>.cpp).
NameRules systemNameRules();

// The member's path below the output folder, one plain name per part ('/' and '\' both separate;
// empty and "." parts are dropped). Nothing, with the reason ("refused: ...") in `reason`, when
// the name is refused.
std::optional<std::vector<std::string>> memberPath(const std::string& name, NameRules rules, std::string& reason);
