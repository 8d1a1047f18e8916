#include "MemberPath.h"

#include <cctype>

#include "datafiles/ArchiveReader.h"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Whether Windows reads the part as a device: the text before its first dot, trailing spaces
// dropped, is a device name in any case.
bool isDeviceName(const std::string& part) {
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = upper(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// Why Windows cannot take `part` as a plain name in a folder; empty when it can.
std::string windowsPartProblem(const std::string& part) {
    for (const char c : part) {
        const auto u = static_cast<unsigned char>(c);
        if (c == ':') return "refused: the name holds a ':' (an alternate data stream on Windows)";
        if (u < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return "refused: the name holds a character that Windows does not allow in names";
    }
    if (part.back() == '.' || part.back() == ' ')
        return "refused: \"" + part + "\" ends in a dot or a space, which Windows drops";
    if (isDeviceName(part)) return "refused: \"" + part + "\" is a device name on Windows";
    return {};
}

}  // namespace

std::optional<std::vector<std::string>> memberPath(const std::string& name, NameRules rules, std::string& reason) {
    if (name.empty()) {
        reason = "refused: the member has an empty name";
        return std::nullopt;
    }
    if (name.find('\0') != std::string::npos) {
        reason = "refused: the name holds a zero byte";
        return std::nullopt;
    }
    if (name.size() > datafiles::kMaxNameLength) {
        reason = "refused: the name is " + std::to_string(name.size()) + " bytes long (at most " +
                 std::to_string(datafiles::kMaxNameLength) + ")";
        return std::nullopt;
    }
    const bool windows = rules == NameRules::Windows;
    if (windows && name.size() > 1 && isSeparator(name[0]) && isSeparator(name[1])) {
        reason = "refused: the name is a device or network path";
        return std::nullopt;
    }
    if (windows && name.size() > 1 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        reason = "refused: the name starts with a drive (" + name.substr(0, 2) + ")";
        return std::nullopt;
    }
    if (isSeparator(name[0]) || (name.size() > 1 && name[1] == ':')) {
        reason = "refused: the name leads outside the output folder";
        return std::nullopt;
    }
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isSeparator(name[i])) {
            part += name[i];
            continue;
        }
        if (part == "..") {
            reason = "refused: the name leads outside the output folder";
            return std::nullopt;
        }
        if (!part.empty() && part != ".") {
            const std::string problem = windows ? windowsPartProblem(part) : std::string();
            if (!problem.empty()) {
                reason = problem;
                return std::nullopt;
            }
            parts.push_back(part);
        }
        part.clear();
    }
    if (parts.empty()) {
        reason = "refused: the name is the output folder itself";
        return std::nullopt;
    }
    return parts;
}
