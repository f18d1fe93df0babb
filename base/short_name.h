#pragma once
// The name a file goes by in window titles, the Project Browser and the
// editor's document identity: the file name alone when the file lies
// directly in the project directory, else the full path.
#include <string>
#include <string_view>

namespace korl {

// `projectDir` may end in "/" or not; an empty one names no project, so the
// full path is kept.
std::string ProjectShortName(std::string_view fullPath, std::string_view projectDir);

} // namespace korl
