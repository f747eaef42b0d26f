#include "webhook_url.h"

#include <curl/curl.h>

#include <memory>

namespace tessel::alerts {
namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct PartDeleter {
    void operator()(char* part) const { curl_free(part); }
};

// One part of a parsed URL; nothing when the URL has none.
std::optional<std::string> Part(CURLU* url, CURLUPart which)
{
    char* text = nullptr;
    if (curl_url_get(url, which, &text, 0) != CURLUE_OK) {
        return std::nullopt;
    }
    const std::unique_ptr<char, PartDeleter> owned(text);
    return std::string(text);
}

}  // namespace

std::optional<std::string> WebhookOrigin(std::string_view url)
{
    const std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    // curl_url_set refuses a URL without a scheme unless told to guess one, which it is not.
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, std::string(url).c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    const auto scheme = Part(parsed.get(), CURLUPART_SCHEME);
    const auto host = Part(parsed.get(), CURLUPART_HOST);
    if (!scheme || (*scheme != "http" && *scheme != "https") || !host || host->empty()) {
        return std::nullopt;
    }
    const auto port = Part(parsed.get(), CURLUPART_PORT);
    return *scheme + "://" + *host + (port ? ":" + *port : "");
}

}  // namespace tessel::alerts
