#include "curl_transport.h"

#include <cstring>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <openssl/evp.h>

#include "upload_spool.h"

namespace tessel {
namespace {

constexpr long kLowestSpeed = 1024;  // bytes per second, for longer than the target's low_speed_time
constexpr const char* kShortCacheLifetime = "Cache-Control: max-age=10";

struct CurlEasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

CurlList MakeList(const std::vector<std::string>& lines) {
    curl_slist* list = nullptr;
    for (const auto& line : lines) list = curl_slist_append(list, line.c_str());
    return CurlList(list);
}

// The bytes of one upload, read by libcurl and rewound when authentication makes it send again.
struct UploadSource {
    std::string_view bytes;
    std::size_t offset = 0;

    static std::size_t Read(char* buffer, std::size_t size, std::size_t count, void* self) {
        auto* source = static_cast<UploadSource*>(self);
        const std::size_t n = std::min(size * count, source->bytes.size() - source->offset);
        std::memcpy(buffer, source->bytes.data() + source->offset, n);
        source->offset += n;
        return n;
    }
    static int Seek(void* self, curl_off_t offset, int origin) {
        auto* source = static_cast<UploadSource*>(self);
        if (origin != SEEK_SET || offset < 0 || static_cast<std::size_t>(offset) > source->bytes.size()) {
            return CURL_SEEKFUNC_CANTSEEK;
        }
        source->offset = static_cast<std::size_t>(offset);
        return CURL_SEEKFUNC_OK;
    }
};

std::size_t DiscardResponse(char*, std::size_t size, std::size_t count, void*) { return size * count; }

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }
// Where a file is written before it is renamed over its final name: hidden, in the same folder.
std::string TemporaryPathOf(const std::string& path) { return DirectoryOf(path) + "." + NameOf(path) + ".part"; }

// The path part of a url ("sftp://user@host:22/dir/" -> "/dir/").
std::string UrlPath(const std::string& url) {
    const auto start = url.find("://") + 3;
    const auto slash = url.find('/', start);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

class CurlTransport : public Transport {
public:
    CurlTransport(const UploadTarget& target, const Credentials& credentials)
        : target_(target), credentials_(credentials), curl_(curl_easy_init()) {
        base_ = target.url;
        if (target.kind == TargetKind::Ftps) base_ = "ftp://" + base_.substr(std::strlen("ftps://"));
        if (target.kind == TargetKind::S3) {
            const std::string bucketAndPrefix = base_.substr(std::strlen("s3://"));
            std::string endpoint = target.endpoint;
            while (!endpoint.empty() && endpoint.back() == '/') endpoint.pop_back();
            base_ = endpoint + "/" + bucketAndPrefix;
        }
    }

    SendResult Send(const std::string& path, std::string_view bytes) override {
        if (!curl_) return {false, "libcurl could not be initialised"};
        switch (target_.kind) {
            case TargetKind::Sftp: return SendSftp(path, bytes);
            case TargetKind::Ftp:
            case TargetKind::Ftps: return SendFtp(path, bytes);
            case TargetKind::WebDav: return SendWebDav(path, bytes);
            case TargetKind::S3: return SendS3(path, bytes);
        }
        return {false, "unknown target kind"};
    }

private:
    // Sets the options every request of this target shares; the connection stays cached.
    void Prepare(const std::string& url) {
        CURL* c = curl_.get();
        curl_easy_reset(c);
        errorText_[0] = '\0';
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText_);
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(target_.connectTimeout * 1000));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, kLowestSpeed);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::max(1L, static_cast<long>(target_.lowSpeedTime + 0.5)));
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(target_.maxTime * 1000));
        // A server that accepts a command and then stays silent (e.g. waiting on a lock held by a
        // dead session) is given up as soon as a stalled transfer would be.
        curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                         std::max(1L, static_cast<long>(std::max(target_.lowSpeedTime, target_.connectTimeout) + 0.5)));
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, Protocols());
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, DiscardResponse);
        if (!credentials_.user.empty()) curl_easy_setopt(c, CURLOPT_USERNAME, credentials_.user.c_str());
        if (!credentials_.password.empty()) curl_easy_setopt(c, CURLOPT_PASSWORD, credentials_.password.c_str());
        if (!target_.caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, target_.caFile.c_str());
        if (target_.kind == TargetKind::Sftp) {
            if (!credentials_.privateKey.empty()) {
                curl_easy_setopt(c, CURLOPT_SSH_PRIVATE_KEYFILE, credentials_.privateKey.c_str());
                const std::string publicKey =
                    credentials_.publicKey.empty() ? credentials_.privateKey + ".pub" : credentials_.publicKey;
                curl_easy_setopt(c, CURLOPT_SSH_PUBLIC_KEYFILE, publicKey.c_str());
            }
            if (!credentials_.keyPassphrase.empty()) curl_easy_setopt(c, CURLOPT_KEYPASSWD, credentials_.keyPassphrase.c_str());
            if (!target_.knownHosts.empty()) curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, target_.knownHosts.c_str());
        }
        if (target_.kind == TargetKind::Ftps) curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        if (target_.kind == TargetKind::WebDav) {
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
        }
    }

    const char* Protocols() const {
        switch (target_.kind) {
            case TargetKind::Sftp: return "sftp";
            case TargetKind::Ftp:
            case TargetKind::Ftps: return "ftp";
            default: return "http,https";
        }
    }

    void SetUpload(UploadSource& source) {
        CURL* c = curl_.get();
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, UploadSource::Read);
        curl_easy_setopt(c, CURLOPT_READDATA, &source);
        curl_easy_setopt(c, CURLOPT_SEEKFUNCTION, UploadSource::Seek);
        curl_easy_setopt(c, CURLOPT_SEEKDATA, &source);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(source.bytes.size()));
    }

    // Runs the prepared request; an HTTP status of 300 or more counts as a failure.
    SendResult Perform(const std::string& what) {
        const CURLcode code = curl_easy_perform(curl_.get());
        if (code != CURLE_OK) {
            return {false, what + ": " + (errorText_[0] ? std::string(errorText_) : curl_easy_strerror(code))};
        }
        long status = 0;
        curl_easy_getinfo(curl_.get(), CURLINFO_RESPONSE_CODE, &status);
        lastStatus_ = status;
        if (target_.kind != TargetKind::WebDav && target_.kind != TargetKind::S3) return {true, {}};
        if (status >= 300) return {false, what + ": HTTP status " + std::to_string(status)};
        return {true, {}};
    }

    SendResult SendSftp(const std::string& path, std::string_view bytes) {
        // Quote commands take server paths: "/~/" in the url stands for the login's home folder,
        // which is where relative paths start.
        std::string remote = UrlPath(base_);
        remote = remote.rfind("/~/", 0) == 0 ? remote.substr(3) : remote;
        // The server refuses to rename over an existing file, so the old one is removed first;
        // a reader sees the old file, briefly none, then the new one, never a part of one.
        const CurlList after = MakeList({"*rm \"" + remote + path + "\"",
                                         "rename \"" + remote + TemporaryPathOf(path) + "\" \"" + remote + path + "\""});
        Prepare(base_ + TemporaryPathOf(path));
        UploadSource source{bytes};
        SetUpload(source);
        curl_easy_setopt(curl_.get(), CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR));
        curl_easy_setopt(curl_.get(), CURLOPT_POSTQUOTE, after.get());
        return Perform("SFTP upload of " + path);
    }

    SendResult SendFtp(const std::string& path, std::string_view bytes) {
        // After the upload the session stands in the file's folder, so plain names rename there.
        const CurlList after = MakeList({"RNFR ." + NameOf(path) + ".part", "RNTO " + NameOf(path)});
        Prepare(base_ + TemporaryPathOf(path));
        UploadSource source{bytes};
        SetUpload(source);
        curl_easy_setopt(curl_.get(), CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR));
        curl_easy_setopt(curl_.get(), CURLOPT_POSTQUOTE, after.get());
        return Perform("FTP upload of " + path);
    }

    std::vector<std::string> HttpHeaders(const std::string& path) const {
        std::vector<std::string> headers = {"Content-Type: " + ContentTypeOf(path), "Expect:"};
        if (IsReplaceable(path)) headers.emplace_back(kShortCacheLifetime);
        return headers;
    }

    SendResult PutWebDav(const std::string& url, const std::string& path, std::string_view bytes) {
        const CurlList headers = MakeList(HttpHeaders(path));
        Prepare(url);
        UploadSource source{bytes};
        SetUpload(source);
        curl_easy_setopt(curl_.get(), CURLOPT_HTTPHEADER, headers.get());
        return Perform("WebDAV PUT of " + path);
    }

    // Creates the collections above `path` that are missing (servers answer 409 to a PUT below one).
    void MakeCollections(const std::string& path) {
        for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            Prepare(base_ + path.substr(0, slash + 1));
            curl_easy_setopt(curl_.get(), CURLOPT_CUSTOMREQUEST, "MKCOL");
            Perform("WebDAV MKCOL");  // an existing collection answers 405; the PUT tells what matters
        }
    }

    SendResult SendWebDav(const std::string& path, std::string_view bytes) {
        const std::string temporaryUrl = base_ + TemporaryPathOf(path);
        SendResult put = PutWebDav(temporaryUrl, path, bytes);
        if (!put.ok && lastStatus_ == 409) {
            MakeCollections(path);
            put = PutWebDav(temporaryUrl, path, bytes);
        }
        if (!put.ok) return put;
        const CurlList headers = MakeList({"Destination: " + base_ + path, "Overwrite: T"});
        Prepare(temporaryUrl);
        curl_easy_setopt(curl_.get(), CURLOPT_CUSTOMREQUEST, "MOVE");
        curl_easy_setopt(curl_.get(), CURLOPT_HTTPHEADER, headers.get());
        return Perform("WebDAV MOVE of " + path);
    }

    SendResult SendS3(const std::string& path, std::string_view bytes) {
        std::vector<std::string> lines = HttpHeaders(path);
        lines.push_back("x-amz-content-sha256: " + Sha256Hex(bytes));
        const CurlList headers = MakeList(lines);
        Prepare(base_ + path);
        UploadSource source{bytes};
        SetUpload(source);
        const std::string signing = "aws:amz:" + target_.region + ":s3";
        curl_easy_setopt(curl_.get(), CURLOPT_AWS_SIGV4, signing.c_str());
        curl_easy_setopt(curl_.get(), CURLOPT_USERNAME, credentials_.accessKeyId.c_str());
        curl_easy_setopt(curl_.get(), CURLOPT_PASSWORD, credentials_.secretAccessKey.c_str());
        curl_easy_setopt(curl_.get(), CURLOPT_HTTPHEADER, headers.get());
        return Perform("S3 PUT of " + path);
    }

    const UploadTarget target_;
    const Credentials credentials_;
    std::unique_ptr<CURL, CurlEasyDeleter> curl_;
    std::string base_;
    char errorText_[CURL_ERROR_SIZE] = {};
    long lastStatus_ = 0;
};

}  // namespace

void InitialiseCurl() { curl_global_init(CURL_GLOBAL_DEFAULT); }

std::unique_ptr<Transport> MakeCurlTransport(const UploadTarget& target, const Credentials& credentials) {
    return std::make_unique<CurlTransport>(target, credentials);
}

std::string ContentTypeOf(std::string_view path) {
    static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
        {".jpg", "image/jpeg"},   {".jpeg", "image/jpeg"},       {".png", "image/png"},
        {".json", "application/json"}, {".html", "text/html; charset=utf-8"}, {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"}, {".mp4", "video/mp4"}, {".webm", "video/webm"},
        {".txt", "text/plain; charset=utf-8"}, {".ico", "image/x-icon"}, {".svg", "image/svg+xml"},
    };
    for (const auto& [extension, type] : kTypes) {
        if (path.size() > extension.size() && path.substr(path.size() - extension.size()) == extension) {
            return std::string(type);
        }
    }
    return "application/octet-stream";
}

}  // namespace tessel
