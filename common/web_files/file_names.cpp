#include "file_names.h"

#include <random>

#include "file_error.h"

namespace tessel {
namespace {

constexpr std::string_view kTemporaryAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kTemporarySuffixLength = 6;

std::string RandomSuffix() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kTemporaryAlphabet.size() - 1);
    std::string suffix(kTemporarySuffixLength, ' ');
    for (char& c : suffix) c = kTemporaryAlphabet[pick(generator)];
    return suffix;
}

}  // namespace

void CheckEntryName(const std::filesystem::path& directory, std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos) {
        throw FileError(FileProblem(directory / std::string(name), "not a plain file name", 0));
    }
}

std::string TemporaryNameFor(std::string_view name) { return "." + std::string(name) + "." + RandomSuffix(); }

bool IsTemporaryName(std::string_view entry, std::string_view name) {
    if (entry.size() < 2 + kTemporarySuffixLength || entry.front() != '.') return false;
    const std::string_view suffix = entry.substr(entry.size() - kTemporarySuffixLength);
    const std::string_view stem = entry.substr(1, entry.size() - 2 - kTemporarySuffixLength);
    if (entry[entry.size() - kTemporarySuffixLength - 1] != '.') return false;
    if (suffix.find_first_not_of(kTemporaryAlphabet) != std::string_view::npos) return false;
    return name.empty() ? !stem.empty() : stem == name;
}

}  // namespace tessel
