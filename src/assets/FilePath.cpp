#include "assets/FilePath.h"

#include <algorithm>

namespace assets {

std::string hostPath(const std::string& path) {
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

}  // namespace assets
