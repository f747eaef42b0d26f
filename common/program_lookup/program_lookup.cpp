#include "program_lookup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tessel {
namespace {

bool IsExecutableFile(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty()) {
        return name;
    }
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace

std::string ExecutableDirectory()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().string();
}

std::optional<std::string> FindProgram(const std::string& name, const std::string& executableDir,
                                       const std::string& pathVariable)
{
    if (!executableDir.empty() && IsExecutableFile(JoinPath(executableDir, name))) {
        return JoinPath(executableDir, name);
    }
    std::size_t begin = 0;
    while (begin <= pathVariable.size()) {
        const auto end = std::min(pathVariable.find(':', begin), pathVariable.size());
        const std::string dir = pathVariable.substr(begin, end - begin);
        const std::string candidate = dir.empty() ? "./" + name : JoinPath(dir, name);
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        begin = end + 1;
    }
    return std::nullopt;
}

}  // namespace tessel
