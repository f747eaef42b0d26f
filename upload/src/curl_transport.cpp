#include "curl_transport.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <unistd.h>

#include "file_descriptor.h"
#include "known_hosts.h"
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

// One upload read from its file by libcurl, piece by piece, and rewound when authentication makes
// it send again.
struct UploadSource {
    LocalFile file;
    std::uint64_t offset = 0;

    static std::size_t Read(char* buffer, std::size_t size, std::size_t count, void* self) {
        auto* source = static_cast<UploadSource*>(self);
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size * count, source->file.size - source->offset));
        if (wanted == 0) return 0;
        const ssize_t got = ::pread(source->file.descriptor, buffer, wanted, static_cast<off_t>(source->offset));
        // A file that shrank or cannot be read ends the transfer as failed, not as a short file.
        if (got <= 0) return CURL_READFUNC_ABORT;
        source->offset += static_cast<std::uint64_t>(got);
        return static_cast<std::size_t>(got);
    }
    static int Seek(void* self, curl_off_t offset, int origin) {
        auto* source = static_cast<UploadSource*>(self);
        if (origin != SEEK_SET || offset < 0 || static_cast<std::uint64_t>(offset) > source->file.size) {
            return CURL_SEEKFUNC_CANTSEEK;
        }
        source->offset = static_cast<std::uint64_t>(offset);
        return CURL_SEEKFUNC_OK;
    }
};

// The first bytes of a response body (an S3 error names its cause there).
struct ResponseStart {
    static constexpr std::size_t kKept = 4096;
    std::string bytes;

    static std::size_t Collect(char* data, std::size_t size, std::size_t count, void* self) {
        auto* response = static_cast<ResponseStart*>(self);
        const std::size_t n = size * count;
        response->bytes.append(data, std::min(n, kKept - std::min(kKept, response->bytes.size())));
        return n;
    }
};

// The SHA-256 of a file, read in pieces; empty when it cannot be read whole.
std::string Sha256Hex(const LocalFile& file) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
    std::vector<char> buffer(1 << 16);
    for (std::uint64_t offset = 0; offset < file.size;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file.size - offset));
        const ssize_t got = ::pread(file.descriptor, buffer.data(), wanted, static_cast<off_t>(offset));
        if (got <= 0) return {};
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

std::string Base64(const unsigned char* bytes, std::size_t length) {
    std::string text(4 * ((length + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes, static_cast<int>(length));
    text.resize(static_cast<std::size_t>(std::max(written, 0)));
    return text;
}

// The <Code> of an S3 error response, or "".
std::string S3ErrorCode(const std::string& body) {
    const auto start = body.find("<Code>");
    const auto end = body.find("</Code>");
    if (start == std::string::npos || end == std::string::npos || end < start + 6 || end - start > 70) return {};
    std::string code = body.substr(start + 6, end - start - 6);
    const bool plain = std::all_of(code.begin(), code.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
    return plain ? code : std::string();
}

// S3 errors about the credentials or the clock, which concern every file of the target.
bool IsS3AccountError(const std::string& code) {
    static constexpr std::string_view kCodes[] = {"InvalidAccessKeyId", "SignatureDoesNotMatch", "RequestTimeTooSkewed",
                                                  "AccessDenied", "ExpiredToken", "InvalidToken", "AccountProblem",
                                                  "NoSuchBucket", "AuthorizationHeaderMalformed"};
    return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes);
}

// Who an HTTP status of 400 or more is about: a refusal of the file itself is final, except for
// the statuses about the login, the time taken or the rate of requests.
FailureScope HttpFailureScope(long status) {
    if (status >= 500 || status == 401 || status == 407 || status == 408 || status == 429) return FailureScope::Target;
    return FailureScope::FileRefused;
}

// Who a libcurl failure is about: the server's refusals of one file (FTP/SFTP) may pass and are
// counted against the job; everything else (connection, login, time) is the target's.
FailureScope CurlFailureScope(CURLcode code) {
    switch (code) {
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_UPLOAD_FAILED:
        case CURLE_QUOTE_ERROR:
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_REMOTE_FILE_EXISTS:
        case CURLE_ABORTED_BY_CALLBACK:
        case CURLE_READ_ERROR: return FailureScope::File;
        default: return FailureScope::Target;
    }
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
        if (target.kind == TargetKind::Sftp) {
            knownHostsFiles_ = KnownHostsFor(target, AccountHome());
            // The known keys are handed to the SSH library as one file that lives only in memory.
            knownHosts_ = FileDescriptor(::memfd_create("tessel-known-hosts", MFD_CLOEXEC));
        }
    }

    SendResult Send(const std::string& path, const LocalFile& file) override {
        if (!curl_) return {false, "libcurl could not be initialised", FailureScope::Target, {}};
        note_.clear();
        SendResult result = SendByKind(path, file);
        result.note = note_;
        return result;
    }

private:
    SendResult SendByKind(const std::string& path, const LocalFile& file) {
        switch (target_.kind) {
            case TargetKind::Sftp: return SendSftp(path, file);
            case TargetKind::Ftp:
            case TargetKind::Ftps: return SendFtp(path, file);
            case TargetKind::WebDav: return SendWebDav(path, file);
            case TargetKind::S3: return SendS3(path, file);
        }
        return {false, "unknown target kind", FailureScope::Target, {}};
    }

    // Sets the options every request of this target shares; the connection stays cached.
    void Prepare(const std::string& url) {
        CURL* c = curl_.get();
        curl_easy_reset(c);
        errorText_[0] = '\0';
        response_.bytes.clear();
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
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, ResponseStart::Collect);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &response_);
        if (!credentials_.user.empty()) curl_easy_setopt(c, CURLOPT_USERNAME, credentials_.user.c_str());
        if (!credentials_.password.empty()) curl_easy_setopt(c, CURLOPT_PASSWORD, credentials_.password.c_str());
        if (!target_.caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, target_.caFile.c_str());
        if (target_.kind == TargetKind::Sftp) PrepareSsh();
        if (target_.kind == TargetKind::Ftps) curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        if (target_.kind == TargetKind::WebDav) {
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
        }
    }

    void PrepareSsh() {
        CURL* c = curl_.get();
        if (!credentials_.privateKey.empty()) {
            curl_easy_setopt(c, CURLOPT_SSH_PRIVATE_KEYFILE, credentials_.privateKey.c_str());
            publicKey_ = credentials_.publicKey.empty() ? credentials_.privateKey + ".pub" : credentials_.publicKey;
            curl_easy_setopt(c, CURLOPT_SSH_PUBLIC_KEYFILE, publicKey_.c_str());
        }
        if (!credentials_.keyPassphrase.empty()) curl_easy_setopt(c, CURLOPT_KEYPASSWD, credentials_.keyPassphrase.c_str());
        // The server's key is always checked: against the known-hosts files as they are now (a key
        // recorded by an earlier connection included).
        const UsableKnownHosts known = ReadKnownHosts(knownHostsFiles_.read);
        revokedKeys_ = known.revokedKeys;
        hostKeyProblem_.clear();
        if (knownHosts_.valid() && ::ftruncate(knownHosts_.get(), 0) == 0 &&
            ::pwrite(knownHosts_.get(), known.lines.data(), known.lines.size(), 0) == static_cast<ssize_t>(known.lines.size())) {
            knownHostsPath_ = "/proc/self/fd/" + std::to_string(knownHosts_.get());
        } else {
            knownHostsPath_ = "/dev/null";  // no key known: every server key is new
        }
        curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, knownHostsPath_.c_str());
        curl_easy_setopt(c, CURLOPT_SSH_KEYFUNCTION, CheckHostKey);
        curl_easy_setopt(c, CURLOPT_SSH_KEYDATA, this);
    }

    // Decides on the server's host key once the library has looked it up in the known keys.
    static int CheckHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* self) {
        auto* transport = static_cast<CurlTransport*>(self);
        const std::string key = found->len > 0 ? Base64(reinterpret_cast<const unsigned char*>(found->key), found->len)
                                               : std::string(found->key);
        return transport->DecideOnHostKey(key, match);
    }

    int DecideOnHostKey(const std::string& key, curl_khmatch match) {
        const SshServer server = ServerOfUrl(target_.url);
        const std::string shown = server.host + ":" + std::to_string(server.port);
        std::string files;
        for (const auto& file : knownHostsFiles_.read) files += (files.empty() ? "" : ", ") + file;
        if (std::find(revokedKeys_.begin(), revokedKeys_.end(), key) != revokedKeys_.end()) {
            hostKeyProblem_ = "the host key of " + shown + " is marked @revoked in " + files + "; refused";
            return CURLKHSTAT_REJECT;
        }
        if (match == CURLKHMATCH_OK) return CURLKHSTAT_FINE;
        if (match == CURLKHMATCH_MISMATCH) {
            hostKeyProblem_ = "the host key of " + shown + " differs from the one in " + files +
                              "; refused (if the server's key was changed on purpose, remove its old line)";
            return CURLKHSTAT_REJECT;
        }
        if (!target_.acceptNewHostKey) {
            hostKeyProblem_ = "the host key of " + shown + " is in none of " + files + "; refused (add it with ssh-keyscan -p " +
                              std::to_string(server.port) + " " + server.host + " >> " + knownHostsFiles_.record +
                              ", or set accept_new_host_key = yes)";
            return CURLKHSTAT_REJECT;
        }
        const std::string line = KnownHostsLine(server, key);
        std::string error;
        if (line.empty() || !RecordHostKey(knownHostsFiles_.record, line, error)) {
            hostKeyProblem_ = "the new host key of " + shown + " cannot be recorded: " +
                              (line.empty() ? "its type is unreadable" : error) + "; refused";
            return CURLKHSTAT_REJECT;
        }
        note_ = "accepted the new host key of " + shown + " (accept_new_host_key) and added it to " + knownHostsFiles_.record;
        return CURLKHSTAT_FINE;
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
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(source.file.size));
    }

    // Runs the prepared request; an HTTP status of 300 or more counts as a failure.
    SendResult Perform(const std::string& what) {
        const CURLcode code = curl_easy_perform(curl_.get());
        if (code != CURLE_OK) {
            const std::string why = !hostKeyProblem_.empty() ? hostKeyProblem_
                                    : errorText_[0]          ? std::string(errorText_)
                                                             : curl_easy_strerror(code);
            return {false, what + ": " + why, CurlFailureScope(code), {}};
        }
        long status = 0;
        curl_easy_getinfo(curl_.get(), CURLINFO_RESPONSE_CODE, &status);
        lastStatus_ = status;
        if (target_.kind != TargetKind::WebDav && target_.kind != TargetKind::S3) return {true, {}, {}, {}};
        if (status < 300) return {true, {}, {}, {}};
        std::string error = what + ": HTTP status " + std::to_string(status);
        FailureScope scope = status >= 400 ? HttpFailureScope(status) : FailureScope::Target;
        const std::string s3Code = target_.kind == TargetKind::S3 ? S3ErrorCode(response_.bytes) : std::string();
        if (!s3Code.empty()) {
            error += " (" + s3Code + ")";
            if (IsS3AccountError(s3Code)) scope = FailureScope::Target;
        }
        if (status == 413) {
            error += ": the file is larger than the server accepts (its request body limit, e.g. nginx's client_max_body_size)";
        }
        return {false, error, scope, {}};
    }

    SendResult SendSftp(const std::string& path, const LocalFile& file) {
        // Quote commands take server paths: "/~/" in the url stands for the login's home folder,
        // which is where relative paths start.
        std::string remote = UrlPath(base_);
        remote = remote.rfind("/~/", 0) == 0 ? remote.substr(3) : remote;
        // The server refuses to rename over an existing file, so the old one is removed first;
        // a reader sees the old file, briefly none, then the new one, never a part of one.
        const CurlList after = MakeList({"*rm \"" + remote + path + "\"",
                                         "rename \"" + remote + TemporaryPathOf(path) + "\" \"" + remote + path + "\""});
        return Upload(base_ + TemporaryPathOf(path), file, after.get(), "SFTP upload of " + path);
    }

    SendResult SendFtp(const std::string& path, const LocalFile& file) {
        // After the upload the session stands in the file's folder, so plain names rename there.
        const CurlList after = MakeList({"RNFR ." + NameOf(path) + ".part", "RNTO " + NameOf(path)});
        return Upload(base_ + TemporaryPathOf(path), file, after.get(), "FTP upload of " + path);
    }

    // An SFTP or FTP upload to `url`, creating missing folders, then the `after` commands.
    SendResult Upload(const std::string& url, const LocalFile& file, curl_slist* after, const std::string& what) {
        Prepare(url);
        UploadSource source{file};
        SetUpload(source);
        curl_easy_setopt(curl_.get(), CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR));
        curl_easy_setopt(curl_.get(), CURLOPT_POSTQUOTE, after);
        return Perform(what);
    }

    std::vector<std::string> HttpHeaders(const std::string& path) const {
        std::vector<std::string> headers = {"Content-Type: " + ContentTypeOf(path), "Expect:"};
        if (IsReplaceable(path)) headers.emplace_back(kShortCacheLifetime);
        return headers;
    }

    // A PUT of `file` to `url` with `headers`, signed for S3 when `signing` is given.
    SendResult Put(const std::string& url, const LocalFile& file, const std::vector<std::string>& headers,
                   const std::string& what, const std::string& signing = {}) {
        const CurlList list = MakeList(headers);
        Prepare(url);
        UploadSource source{file};
        SetUpload(source);
        curl_easy_setopt(curl_.get(), CURLOPT_HTTPHEADER, list.get());
        if (!signing.empty()) {
            curl_easy_setopt(curl_.get(), CURLOPT_AWS_SIGV4, signing.c_str());
            curl_easy_setopt(curl_.get(), CURLOPT_USERNAME, credentials_.accessKeyId.c_str());
            curl_easy_setopt(curl_.get(), CURLOPT_PASSWORD, credentials_.secretAccessKey.c_str());
        }
        return Perform(what);
    }

    // Creates the collections above `path` that are missing (servers answer 409 to a PUT below one).
    void MakeCollections(const std::string& path) {
        for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            Prepare(base_ + path.substr(0, slash + 1));
            curl_easy_setopt(curl_.get(), CURLOPT_CUSTOMREQUEST, "MKCOL");
            Perform("WebDAV MKCOL");  // an existing collection answers 405; the PUT tells what matters
        }
    }

    SendResult SendWebDav(const std::string& path, const LocalFile& file) {
        const std::string temporaryUrl = base_ + TemporaryPathOf(path);
        const std::string what = "WebDAV PUT of " + path;
        SendResult put = Put(temporaryUrl, file, HttpHeaders(path), what);
        if (!put.ok && lastStatus_ == 409) {
            MakeCollections(path);
            put = Put(temporaryUrl, file, HttpHeaders(path), what);
        }
        if (!put.ok) return put;
        const CurlList headers = MakeList({"Destination: " + base_ + path, "Overwrite: T"});
        Prepare(temporaryUrl);
        curl_easy_setopt(curl_.get(), CURLOPT_CUSTOMREQUEST, "MOVE");
        curl_easy_setopt(curl_.get(), CURLOPT_HTTPHEADER, headers.get());
        return Perform("WebDAV MOVE of " + path);
    }

    SendResult SendS3(const std::string& path, const LocalFile& file) {
        const std::string digest = Sha256Hex(file);
        if (digest.empty()) return {false, "S3 PUT of " + path + ": the local file cannot be read", FailureScope::File, {}};
        std::vector<std::string> headers = HttpHeaders(path);
        headers.push_back("x-amz-content-sha256: " + digest);
        return Put(base_ + path, file, headers, "S3 PUT of " + path, "aws:amz:" + target_.region + ":s3");
    }

    const UploadTarget target_;
    const Credentials credentials_;
    std::unique_ptr<CURL, CurlEasyDeleter> curl_;
    std::string base_;
    char errorText_[CURL_ERROR_SIZE] = {};
    long lastStatus_ = 0;
    ResponseStart response_;
    std::string note_;
    // SFTP: the server key check.
    KnownHostsFiles knownHostsFiles_;
    FileDescriptor knownHosts_;
    std::string knownHostsPath_;
    std::string publicKey_;
    std::vector<std::string> revokedKeys_;
    std::string hostKeyProblem_;
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
