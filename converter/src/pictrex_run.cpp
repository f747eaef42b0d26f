#include "pictrex_run.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>

#include "archive.h"
#include "arguments.h"
#include "atomic_file.h"
#include "banner.h"
#include "exit_codes.h"
#include "jpeg_io.h"
#include "off_picture.h"
#include "publication.h"
#include "raw_conversion.h"
#include "run_log.h"
#include "settings.h"
#include "upload_spool.h"

namespace pictrex {
namespace {

struct Failure {
    int exitCode;
    std::string message;
};

constexpr std::size_t kLongestCaption = 4096;

// The first line of message.txt, or "" when there is none.
std::string ReadCaption(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string caption(kLongestCaption, '\0');
    in.read(caption.data(), static_cast<std::streamsize>(caption.size()));
    caption.resize(static_cast<std::size_t>(in.gcount()));
    return caption.substr(0, caption.find_first_of("\r\n"));
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

class Run {
public:
    Run(const Invocation& invocation, const Environment& environment)
        : invocation_(invocation), environment_(environment), dir_(environment.webDirectory) {
        LoadedSettings loaded = LoadSettings(dir_ / "pictrex.ini");
        settings_ = loaded.settings;
        notes_ = std::move(loaded.warnings);
    }

    // Does the run's work; throws Failure.
    void Perform() {
        DirectoryLock lock(dir_ / "pictrex.lock");
        if (invocation_.cameraOff) {
            TurnOff();
        } else {
            Convert();
        }
    }

    std::string Notes() const { return Joined(notes_, ", "); }

    // The files this run published, relative to the web directory, for the upload targets.
    std::vector<std::string> Published() const {
        std::vector<std::string> published = published_;
        std::error_code ignored;
        if (!published.empty() && std::filesystem::is_regular_file(dir_ / "station.json", ignored)) {
            published.emplace_back("station.json");
        }
        return published;
    }

private:
    void Convert() {
        const std::filesystem::path rawFile = dir_ / ("image" + invocation_.stamp.digits() + ".dc2");
        auto read = ReadPictureFile(rawFile);
        if (auto* error = std::get_if<PictureError>(&read)) throw Failure{kBadPicture, error->message};
        Image image = ConvertRaw(std::get<RawPicture>(read));
        if (settings_.banner) {
            DrawBanner(image, {ReadCaption(dir_ / "message.txt"), invocation_.stamp.DisplayText()}, Font());
        }
        const std::vector<uint8_t> jpeg = Encode(image);

        PublishIfLatest(jpeg, {invocation_.stamp, false});
        std::optional<Failure> indexFailure;
        if (invocation_.archive) indexFailure = Archive(jpeg);
        if (settings_.keepRaw) {
            notes_.push_back("raw file kept");
        } else {
            std::error_code ignored;
            std::filesystem::remove(rawFile, ignored);
        }
        if (indexFailure) throw *indexFailure;
    }

    void TurnOff() {
        const std::optional<Publication> current = ReadStatus(dir_ / kStatusName);
        if (current && current->cameraOff && current->stamp == invocation_.stamp) {
            notes_.push_back("camera already shown off");
            return;
        }
        // The picture to darken: whatever is published, unless that is already a camera-off picture.
        std::optional<Image> previous;
        if (!current || !current->cameraOff) previous = DecodeJpegFile(dir_ / kWebImageName);
        notes_.push_back(previous ? "camera off, last picture darkened" : "camera off, plain card");
        PublishIfLatest(Encode(MakeOffPicture(std::move(previous), invocation_.stamp, Font())),
                        {invocation_.stamp, true});
    }

    std::vector<uint8_t> Encode(const Image& image) const {
        try {
            return EncodeJpeg(image, settings_.jpegQuality);
        } catch (const JpegError& e) {
            throw Failure{kWriteFailed, e.what()};
        }
    }

    void PublishIfLatest(const std::vector<uint8_t>& jpeg, const Publication& candidate) {
        const std::optional<Publication> current = ReadStatus(dir_ / kStatusName);
        if (!MayReplace(candidate, current, environment_.now())) {
            notes_.push_back("not published: " + std::string(kWebImageName) + " shows the later picture " +
                             current->stamp.digits());
            return;
        }
        try {
            WriteFileAtomically(dir_ / kWebImageName, jpeg);
            WriteFileAtomically(dir_ / kStatusName, StatusText(candidate, environment_.now()));
        } catch (const FileError& e) {
            throw Failure{kWriteFailed, e.what()};
        }
        notes_.push_back("published");
        published_.insert(published_.end(), {kWebImageName, kStatusName});
    }

    // Archives the picture and rebuilds the index; a failure of the index is returned, so that
    // the rest of the run still happens.
    std::optional<Failure> Archive(const std::vector<uint8_t>& jpeg) {
        try {
            ArchivePicture(dir_, invocation_.stamp, jpeg);
        } catch (const FileError& e) {
            throw Failure{kWriteFailed, e.what()};
        }
        notes_.push_back("archived");
        published_.push_back(std::string(kArchiveDirectory) + "/" + invocation_.stamp.digits() + ".jpg");
        const int expired = DeleteExpiredPictures(dir_, settings_.archiveDays, environment_.now());
        if (expired > 0) notes_.push_back(std::to_string(expired) + " expired deleted");

        const auto archindex = FindArchindex(environment_.programDirectory, environment_.searchPath);
        if (!archindex) return Failure{kIndexFailed, "archindex not found beside pictrex or on PATH"};
        const ProgramOutcome outcome = RunProgram(*archindex, dir_);
        if (!outcome.ran || outcome.exitStatus != 0) {
            std::string said = outcome.output.substr(0, outcome.output.find_first_of("\r\n"));
            return Failure{kIndexFailed, archindex->string() + " failed" + (said.empty() ? "" : ": " + said)};
        }
        notes_.push_back("index rebuilt");
        published_.push_back(std::string(kArchiveDirectory) + "/index.html");
        return std::nullopt;
    }

    // The banner font, loaded on first use; nothing (noted in the log) when no font opens.
    TextRenderer* Font() {
        if (!fontLoaded_) {
            fontLoaded_ = true;
            std::vector<std::filesystem::path> candidates;
            if (!settings_.fontFile.empty()) candidates.emplace_back(settings_.fontFile);
            candidates.insert(candidates.end(), environment_.fontFiles.begin(), environment_.fontFiles.end());
            std::string why;
            font_ = TextRenderer::Load(candidates, why);
            if (!font_) notes_.push_back("banner without text (" + why + ")");
            else if (!settings_.fontFile.empty() && font_->fontFile() != settings_.fontFile) {
                notes_.push_back("font " + settings_.fontFile + " unusable, using " + font_->fontFile().string());
            }
        }
        return font_.get();
    }

    const Invocation& invocation_;
    const Environment& environment_;
    const std::filesystem::path dir_;
    Settings settings_;
    std::vector<std::string> notes_;
    std::vector<std::string> published_;
    bool fontLoaded_ = false;
    std::unique_ptr<TextRenderer> font_;
};

}  // namespace

int RunPictrex(const std::vector<std::string>& words, const Environment& environment, std::ostream& errors) {
    const std::optional<Invocation> invocation = ParseArguments(words);
    if (!invocation) {
        errors << kUsageLine << '\n';
        return kUsage;
    }
    const auto started = std::chrono::steady_clock::now();
    const std::time_t startTime = environment.now();
    Run run(*invocation, environment);
    int exitCode = kSuccess;
    std::string outcome;
    std::optional<Failure> failure;
    try {
        run.Perform();
    } catch (const Failure& f) {
        failure = f;
    } catch (const FileError& e) {
        failure = Failure{kWriteFailed, e.what()};
    }
    if (failure) {
        exitCode = failure->exitCode;
        outcome = "failed (exit " + std::to_string(exitCode) + "): " + failure->message;
        errors << "pictrex: " << failure->message << '\n';
    }
    // Only queued: the uploader runs detached, so remote targets never slow a capture.
    tessel::EnqueueUploads(environment.webDirectory, run.Published());
    const std::string notes = run.Notes();
    if (!notes.empty()) outcome += (outcome.empty() ? "" : "; ") + notes;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    if (!AppendLogLine(environment.webDirectory / "pictrex.log",
                       LogLine(startTime, Joined(words, " "), outcome, static_cast<long>(elapsed.count())))) {
        errors << "pictrex: cannot append to pictrex.log\n";
    }
    return exitCode;
}

}  // namespace pictrex
