// The capture station's string table.
#pragma once

#include <optional>
#include <string_view>

namespace tessel::res {

// The string with this id, or nothing when the table has none.
std::optional<std::string_view> LoadResString(int id);

}  // namespace tessel::res
