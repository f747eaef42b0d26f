#include "string_table.h"

#include "resource_ids.h"

namespace tessel::res {

std::optional<std::string_view> LoadResString(int id) {
    if (id == IDS_ABOUTBOX) return "&About tessel...";
    return std::nullopt;
}

}  // namespace tessel::res
