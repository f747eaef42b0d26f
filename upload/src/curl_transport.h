// Sending files with libcurl over one reused connection per target: SFTP and FTP(S) upload under
// a temporary name and rename, WebDAV PUTs a temporary resource and MOVEs it over the old one,
// S3 PUTs the object whole with an AWS Signature Version 4.
#pragma once

#include <memory>

#include "credentials.h"
#include "transport.h"
#include "upload_target.h"

namespace tessel {

// Initialises libcurl once for the process; call before any thread starts.
void InitialiseCurl();

std::unique_ptr<Transport> MakeCurlTransport(const UploadTarget& target, const Credentials& credentials);

// The media type sent with a file, from its extension.
std::string ContentTypeOf(std::string_view path);

}  // namespace tessel
