#include "base/short_name.h"

namespace korl {

std::string ProjectShortName(std::string_view fullPath, std::string_view projectDir) {
    while (projectDir.size() > 1 && projectDir.back() == '/') projectDir.remove_suffix(1);
    const size_t slash = fullPath.rfind('/');
    if (projectDir.empty() || slash == std::string_view::npos) return std::string(fullPath);
    const std::string_view dir = slash == 0 ? std::string_view("/") : fullPath.substr(0, slash);
    return dir == projectDir ? std::string(fullPath.substr(slash + 1)) : std::string(fullPath);
}

} // namespace korl
