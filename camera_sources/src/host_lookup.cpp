#include "host_lookup.h"

#include <arpa/inet.h>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>

#include "grab_failure.h"

namespace tessel::camera_sources {
namespace {

struct PendingLookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int result = 0;
};

bool IsNumericAddress(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), address) == 1 || ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace

std::string HostOfAddress(const std::string& address) {
    const auto schemeEnd = address.find("://");
    const std::size_t start = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    const std::string authority = address.substr(start, address.find_first_of("/?#", start) - start);
    if (authority.starts_with('[')) return authority.substr(1, authority.find(']') - 1);
    return authority.substr(0, authority.find(':'));
}

std::optional<GrabResult> LookUpHostInTime(const std::string& address, const Deadline& deadline) {
    const std::string host = HostOfAddress(address);
    if (IsNumericAddress(host)) return std::nullopt;
    const auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, host] {
            addrinfo hints{};
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* found = nullptr;
            const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
            if (found) ::freeaddrinfo(found);
            {
                const std::lock_guard lock(pending->mutex);
                pending->done = true;
                pending->result = result;
            }
            pending->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;  // no thread to spare: libavformat looks the name up itself
    }
    std::unique_lock lock(pending->mutex);
    if (!pending->finished.wait_until(lock, deadline.End(), [&] { return pending->done; })) {
        return Failed(GrabFailure::Timeout,
                      "timeout: the name " + host + " was not looked up within " + deadline.BudgetText());
    }
    if (pending->result == EAI_NONAME) return Failed(GrabFailure::HostUnreachable, "unknown host " + host);
    if (pending->result != 0) {
        return Failed(GrabFailure::HostUnreachable,
                      "the name " + host + " was not found: " + ::gai_strerror(pending->result));
    }
    return std::nullopt;
}

}  // namespace tessel::camera_sources
