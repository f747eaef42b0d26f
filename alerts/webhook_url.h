// The webhook's address: an http:// or https:// URL, checked with libcurl's URL parser. A
// webhook URL may carry a user and password, and chat services put their secret token in the
// path, so the URL is never written to a log: its origin (scheme, host and port) is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessel::alerts {

// "scheme://host[:port]" of an http:// or https:// URL with a host; nothing for anything else.
std::optional<std::string> WebhookOrigin(std::string_view url);

}  // namespace tessel::alerts
