// The name lookup of a URL's host, bounded by the grab's deadline. libavformat resolves names
// with a blocking call its interrupt callback cannot stop, so a dead name server would hold a
// grab far past its deadline; looking the name up first, on a thread of its own, ends such a grab
// in time (the thread is left to finish on its own).
#pragma once

#include <optional>
#include <string>

#include "deadline.h"
#include "grab.h"

namespace tessel::camera_sources {

// The host of a URL without user-info ("http://cam:8080/x" -> "cam", "rtsp://[::1]/" -> "::1").
std::string HostOfAddress(const std::string& address);

// A failed grab when the host name cannot be found before the deadline; nothing when it can, or
// when the host is a numeric address.
std::optional<GrabResult> LookUpHostInTime(const std::string& address, const Deadline& deadline);

}  // namespace tessel::camera_sources
