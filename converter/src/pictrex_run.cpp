#include "pictrex_run.h"

#include <chrono>
#include <memory>
#include <new>
#include <optional>

#include "archindex_run.h"
#include "archive/archive.h"
#include "archive/day_lists.h"
#include "archive/directory_lock.h"
#include "archive/publication.h"
#include "archive/run_log.h"
#include "arguments.h"
#include "caption_text.h"
#include "daily_launch.h"
#include "exit_codes.h"
#include "file_error.h"
#include "imaging/banner.h"
#include "imaging/jpeg_io.h"
#include "imaging/thumbnail.h"
#include "off_picture.h"
#include "pictrex_settings.h"
#include "raw_conversion.h"
#include "upload_spool.h"

namespace pictrex {
namespace {

using archive::kArchiveDirectory;
using archive::kStatusName;
using archive::kWebImageName;
using archive::Publication;
using archive::Stamp;
using imaging::Image;

struct Failure {
    int exitCode;
    std::string message;
};

// Temporary files of ours this old are left by a killed run (no run takes minutes).
constexpr std::chrono::minutes kStaleTemporaryAge{5};

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : separator) + part;
    return text;
}

class Run {
public:
    Run(const Invocation& invocation, const Environment& environment, const tessel::WebDirectory& dir)
        : invocation_(invocation), environment_(environment), dir_(dir) {}

    // Does the run's work; throws Failure.
    void Perform() {
        LoadedSettings loaded = LoadSettings(dir_);
        settings_ = loaded.settings;
        notes_ = std::move(loaded.warnings);
        archive::DirectoryLock lock(dir_, archive::kLockName);
        RemoveStaleTemporaries(dir_, {kWebImageName, kStatusName});
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
        if (!published.empty() && std::filesystem::is_regular_file(dir_.path() / "station.json", ignored)) {
            published.emplace_back("station.json");
        }
        return published;
    }

private:
    // Removes what a killed run left of its temporary files for `names`; we hold the lock, so no
    // other run is writing them.
    void RemoveStaleTemporaries(const tessel::WebDirectory& directory, std::initializer_list<std::string_view> names) {
        int removed = 0;
        for (std::string_view name : names) removed += directory.RemoveStaleTemporaries(name, kStaleTemporaryAge);
        NoteStaleTemporariesRemoved(removed);
    }

    void NoteStaleTemporariesRemoved(int removed) {
        if (removed > 0) notes_.push_back(std::to_string(removed) + " stale temporary files removed");
    }

    void Convert() {
        const std::string rawFile = "image" + invocation_.stamp.digits() + ".dc2";
        auto read = ReadPictureFile(dir_, rawFile);
        if (auto* error = std::get_if<PictureError>(&read)) throw Failure{kBadPicture, error->message};
        Image image = ConvertRaw(std::get<RawPicture>(read));
        const CaptionText caption = ReadCaption(dir_);
        if (!caption.problem.empty()) notes_.push_back("no caption: " + caption.problem);
        if (settings_.banner) imaging::DrawBanner(image, {caption.text, invocation_.stamp.DisplayText()}, Font());
        const std::vector<uint8_t> jpeg = Encode(image);

        PublishIfLatest(jpeg, {invocation_.stamp, false, caption.text});
        std::optional<Failure> indexFailure;
        if (invocation_.archive) indexFailure = Archive(jpeg, image);
        if (settings_.keepRaw) {
            notes_.push_back("raw file kept");
        } else {
            try {
                dir_.RemoveRegularFile(rawFile);
            } catch (const tessel::FileError& e) {
                notes_.push_back(std::string("raw file kept: ") + e.what());
            }
        }
        if (indexFailure) throw *indexFailure;
    }

    void TurnOff() {
        const std::optional<Publication> current = archive::ReadStatus(dir_);
        if (current && current->cameraOff && current->stamp == invocation_.stamp) {
            notes_.push_back("camera already shown off");
            return;
        }
        // The picture to darken: whatever is published, unless that is already a camera-off picture.
        std::optional<Image> previous;
        if (!current || !current->cameraOff) previous = PublishedPicture();
        notes_.push_back(previous ? "camera off, last picture darkened" : "camera off, plain card");
        PublishIfLatest(Encode(MakeOffPicture(std::move(previous), invocation_.stamp, Font())),
                        {invocation_.stamp, true, ReadCaption(dir_).text});
    }

    // The published picture, or nothing (noted when it was refused or could not be decoded).
    std::optional<Image> PublishedPicture() {
        const tessel::FileRead read = dir_.Read(kWebImageName, imaging::kLargestJpegFile);
        if (!read.ok) {
            if (!read.missing) notes_.push_back(read.error);
            return std::nullopt;
        }
        std::string problem;
        auto image = imaging::DecodeJpeg(std::span(reinterpret_cast<const uint8_t*>(read.bytes.data()), read.bytes.size()), problem);
        if (!image) notes_.push_back(std::string(kWebImageName) + " not used: " + problem);
        return image;
    }

    std::vector<uint8_t> Encode(const Image& image) const {
        try {
            return imaging::EncodeJpeg(image, settings_.jpegQuality);
        } catch (const imaging::JpegError& e) {
            throw Failure{kWriteFailed, e.what()};
        }
    }

    void PublishIfLatest(const std::vector<uint8_t>& jpeg, const Publication& candidate) {
        const std::optional<Publication> current = archive::ReadStatus(dir_);
        if (!archive::MayReplace(candidate, current, environment_.now())) {
            notes_.push_back("not published: " + std::string(kWebImageName) + " shows the later picture " +
                             current->stamp.digits());
            return;
        }
        try {
            dir_.ReplaceAtomically(kWebImageName, jpeg);
            dir_.ReplaceAtomically(kStatusName, archive::StatusText(candidate, environment_.now()));
        } catch (const tessel::FileError& e) {
            throw Failure{kWriteFailed, e.what()};
        }
        notes_.push_back("published");
        published_.insert(published_.end(), {kWebImageName, kStatusName});
    }

    // Archives the picture, lists it by day and rebuilds the index; a failure of the lists or the
    // index is returned, so that the rest of the run still happens.
    std::optional<Failure> Archive(const std::vector<uint8_t>& jpeg, const Image& image) {
        std::vector<Stamp> expired;
        try {
            const tessel::WebDirectory folder = archive::OpenArchive(dir_);
            NoteStaleTemporariesRemoved(archive::RemoveStalePictureTemporaries(folder, kStaleTemporaryAge));
            archive::ArchivePicture(folder, invocation_.stamp, jpeg);
            notes_.push_back("archived");
            archive::ExpiryOutcome expiry = archive::DeleteExpiredPictures(folder, settings_.archiveDays, environment_.now());
            expired = std::move(expiry.deleted);
            if (!expired.empty()) notes_.push_back(std::to_string(expired.size()) + " expired deleted");
            notes_.insert(notes_.end(), expiry.refusals.begin(), expiry.refusals.end());
        } catch (const tessel::FileError& e) {
            throw Failure{kWriteFailed, e.what()};
        }
        const std::optional<Failure> listFailure = RecordByDay(image, expired);
        published_.push_back(std::string(kArchiveDirectory) + "/" + invocation_.stamp.digits() + ".jpg");

        const auto archindex = FindArchindex(environment_.programDirectory, environment_.searchPath);
        if (!archindex) return Failure{kIndexFailed, "archindex not found beside pictrex or on PATH"};
        const ProgramOutcome outcome = RunProgram(*archindex, dir_.path());
        if (!outcome.ran || outcome.exitStatus != 0) {
            std::string said = outcome.output.substr(0, outcome.output.find_first_of("\r\n"));
            return Failure{kIndexFailed, archindex->string() + " failed" + (said.empty() ? "" : ": " + said)};
        }
        notes_.push_back("index rebuilt");
        published_.push_back(std::string(kArchiveDirectory) + "/index.html");
        return listFailure;
    }

    // Writes the thumbnail and updates the lists by day (the new picture in, expired ones out); when
    // the picture begins a new day, starts the builder of the finished day's products.
    std::optional<Failure> RecordByDay(const Image& image, const std::vector<Stamp>& expired) {
        try {
            const archive::DayLists days(dir_.path() / kArchiveDirectory);
            archive::WriteThumbnail(dir_.path() / kArchiveDirectory, invocation_.stamp, Thumbnail(image));
            if (const auto finishedDay = days.Add(invocation_.stamp)) {
                notes_.push_back(StartDailyBuilder(environment_.programDirectory, environment_.searchPath, dir_.path(),
                                                   *finishedDay));
            }
            days.Remove(expired);
            const std::string folder = std::string(kArchiveDirectory) + "/";
            const std::string day = invocation_.stamp.digits().substr(0, 8);
            published_.insert(published_.end(), {folder + archive::kThumbsDirectory + "/" + invocation_.stamp.digits() + ".jpg",
                                                 folder + archive::kDaysDirectory + "/" + day + ".json",
                                                 folder + archive::kDaysListName});
        } catch (const tessel::FileError& e) {
            return Failure{kIndexFailed, std::string("day lists: ") + e.what()};
        }
        return std::nullopt;
    }

    // The picture's thumbnail; a failure to encode it counts as a failure to write it.
    std::vector<uint8_t> Thumbnail(const Image& image) const {
        try {
            return imaging::ThumbnailJpeg(image);
        } catch (const imaging::JpegError& e) {
            throw tessel::FileError("thumbnail of " + invocation_.stamp.digits() + ": " + e.what());
        }
    }

    // The banner font, loaded on first use; nothing (noted in the log) when no font opens.
    imaging::TextRenderer* Font() {
        if (!fontLoaded_) {
            fontLoaded_ = true;
            std::vector<std::filesystem::path> candidates;
            if (!settings_.fontFile.empty()) candidates.emplace_back(settings_.fontFile);
            candidates.insert(candidates.end(), environment_.fontFiles.begin(), environment_.fontFiles.end());
            std::string why;
            font_ = imaging::TextRenderer::Load(candidates, why);
            if (!font_) {
                notes_.push_back("banner without text (" + why + ")");
                return nullptr;
            }
            if (!settings_.fontFile.empty() && font_->fontFile() != settings_.fontFile) {
                notes_.push_back("font " + settings_.fontFile + " unusable, using " + font_->fontFile().string());
            }
            if (!why.empty()) notes_.push_back(why);
        }
        return font_.get();
    }

    const Invocation& invocation_;
    const Environment& environment_;
    const tessel::WebDirectory& dir_;
    Settings settings_;
    std::vector<std::string> notes_;
    std::vector<std::string> published_;
    bool fontLoaded_ = false;
    std::unique_ptr<imaging::TextRenderer> font_;
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
    std::optional<tessel::WebDirectory> dir;
    try {
        dir = tessel::WebDirectory::Open(environment.webDirectory);
    } catch (const tessel::FileError& e) {
        errors << "pictrex: " << e.what() << '\n';
        return kWriteFailed;
    }
    Run run(*invocation, environment, *dir);
    int exitCode = kSuccess;
    std::string outcome;
    std::optional<Failure> failure;
    try {
        run.Perform();
    } catch (const Failure& f) {
        failure = f;
    } catch (const tessel::FileError& e) {
        failure = Failure{kWriteFailed, e.what()};
    } catch (const std::bad_alloc&) {
        failure = Failure{kOutOfMemory, "out of memory"};
    }
    if (failure) {
        exitCode = failure->exitCode;
        outcome = "failed (exit " + std::to_string(exitCode) + "): " + failure->message;
        errors << "pictrex: " << failure->message << '\n';
    }
    // Only queued: the uploader runs detached, so remote targets never slow a capture.
    for (const auto& warning : tessel::EnqueueUploads(environment.webDirectory, run.Published())) {
        errors << "pictrex: " << warning << '\n';
        outcome += (outcome.empty() ? "" : "; ") + warning;
    }
    const std::string notes = run.Notes();
    if (!notes.empty()) outcome += (outcome.empty() ? "" : "; ") + notes;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    try {
        dir->AppendLine(kLogName, archive::LogLine(startTime, Joined(words, " "), outcome, static_cast<long>(elapsed.count())));
    } catch (const tessel::FileError& e) {
        errors << "pictrex: " << e.what() << '\n';
    }
    return exitCode;
}

}  // namespace pictrex
