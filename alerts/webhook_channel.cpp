#include "webhook_channel.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "duration_text.h"
#include "webhook_url.h"

namespace tessel::alerts {
namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// JSON, and no "Expect: 100-continue" round trip for the small body; nothing when out of memory.
CurlList RequestHeaders()
{
    curl_slist* list = nullptr;
    for (const char* line : {"Content-Type: application/json", "Expect:"}) {
        curl_slist* longer = curl_slist_append(list, line);
        if (longer == nullptr) {
            curl_slist_free_all(list);
            return nullptr;
        }
        list = longer;
    }
    return CurlList(list);
}

size_t DiscardAnswer(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// Ends a try that is still running when the finishing deadline passes.
int AbortWhenExpired(void* pace, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const DeliveryPace*>(pace)->Expired() ? 1 : 0;
}

long MillisecondsUntil(PaceClock::time_point limit)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - PaceClock::now()).count();
    return static_cast<long>(std::max<decltype(left)>(left, 1));
}

}  // namespace

std::string AlertJson(const AlertEvent& event, const AlertSource& source)
{
    const nlohmann::json body{
        {"event", AlertKindName(event.kind)},
        {"station", source.station},
        {"last_status", event.lastStatus},
        {"failures", event.failures},
        {"at", event.at},
    };
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

WebhookChannel::WebhookChannel(std::string url, AlertSource source, AlertLog log, WebhookTimings timings)
    : url_(std::move(url)),
      origin_(WebhookOrigin(url_).value_or("(invalid URL)")),
      source_(std::move(source)),
      log_(std::move(log)),
      timings_(std::move(timings))
{
}

std::string WebhookChannel::Name() const
{
    return "alert_url " + origin_;
}

DeliveryReport WebhookChannel::Deliver(const AlertEvent& event, DeliveryPace& pace)
{
    const std::string body = AlertJson(event, source_);
    const std::size_t tries = timings_.retryDelays.size() + 1;
    for (std::size_t done = 1;; ++done) {
        const std::string failure = Try(body, pace);
        if (failure.empty()) {
            return {DeliveryResult::Delivered, {}};
        }
        if (pace.Expired()) {
            return {DeliveryResult::Abandoned, {}};
        }
        const std::string attempt = std::to_string(done) + " of " + std::to_string(tries);
        if (done == tries) {
            return {DeliveryResult::Failed, "gave up after " + std::to_string(tries) + " tries (the last: " + failure + ")"};
        }
        const auto delay = timings_.retryDelays[done - 1];
        log_(AlertLogLevel::Warning, "alert " + std::string(AlertKindName(event.kind)) + " through " + Name() +
                                         ": try " + attempt + " failed: " + failure + "; next try in " +
                                         DurationText(delay));
        if (!pace.Pause(delay)) {
            return {DeliveryResult::Abandoned, {}};
        }
    }
}

std::string WebhookChannel::Try(const std::string& body, DeliveryPace& pace) const
{
    const std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    const auto headers = RequestHeaders();
    if (!curl || !headers) {
        return "libcurl could not be initialised";
    }
    char errorText[CURL_ERROR_SIZE] = "";
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, MillisecondsUntil(pace.Limit(PaceClock::now() + timings_.tryLimit)));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "tessel");
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, DiscardAnswer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, AbortWhenExpired);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &pace);
    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK) {
        return errorText[0] != '\0' ? std::string(errorText) : std::string(curl_easy_strerror(code));
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        return "the server answered HTTP " + std::to_string(status);
    }
    return {};
}

}  // namespace tessel::alerts
