#include "station_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessel::testing {

TemporaryWorkDir::TemporaryWorkDir() : previous_(std::filesystem::current_path())
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tessel-station-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
    std::filesystem::current_path(path_);
}

TemporaryWorkDir::~TemporaryWorkDir()
{
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    std::filesystem::remove_all(path_, error);
}

std::optional<std::string> ReadFile(const std::filesystem::path& path)
{
    if (!std::filesystem::is_regular_file(path)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

StationTest::StationTest()
{
    fake_dc25::Reset();
    station.UpdateData(false);
    view.writes.clear();
}

std::string StationTest::ImageFileName(const std::string& stamp) const
{
    return "image" + stamp + ".dc2";
}

}  // namespace tessel::testing
