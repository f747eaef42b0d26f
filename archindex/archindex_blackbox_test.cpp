// Runs the built archindex in scratch web directories and checks the page
// bytes, the exit status and both output streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "blackbox_harness.h"

namespace archindex::testing {
namespace {
namespace fs = std::filesystem;

const fs::path kProgram = ARCHINDEX_PROGRAM;

constexpr char kHeader[] =
    "<HTML>\r\n"
    "<HEAD><TITLE>WebCam Archive</TITLE>\r\n"
    "</HEAD>\r\n"
    "<BODY>\r\n";
constexpr char kFooter[] =
    "</BODY>\r\n"
    "</HTML>\r\n";
constexpr char kEmptyPage[] =
    "<HTML>\r\n"
    "<HEAD><TITLE>WebCam Archive</TITLE>\r\n"
    "</HEAD>\r\n"
    "<BODY>\r\n"
    "No archive image files found!\r\n"
    "</BODY>\r\n"
    "</HTML>\r\n";
constexpr char kNoArchiveMessage[] = "Couldn't change to \"archive\" directory!\n";
constexpr char kCannotOpenMessage[] = "Couldn't open \"index.html\" for writing!\n";
constexpr char kCannotWriteMessage[] = "Couldn't write \"index.html\"!\n";

std::string Link(const std::string& href, const std::string& text) {
  return "<A HREF=\"" + href + "\"><IMG SRC=\"../img_icon.gif\" BORDER=0> " + text +
         "</A><BR>\r\n";
}

std::string PlainLink(const std::string& name) { return Link(name, name); }

std::string Page(const std::vector<std::string>& links) {
  std::string page = kHeader;
  for (const std::string& link : links) page += link;
  return page + kFooter;
}

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// The longest name the scratch file system takes, ending in ".jpg".
std::size_t LongestName() {
  const ScratchDirectory probe;
  return static_cast<std::size_t>(pathconf(probe.path().c_str(), _PC_NAME_MAX));
}

bool EveryLineEndsWithCrLf(const std::string& page) {
  if (page.size() < 2 || page.substr(page.size() - 2) != "\r\n") return false;
  for (std::size_t at = page.find('\n'); at != std::string::npos; at = page.find('\n', at + 1)) {
    if (at == 0 || page[at - 1] != '\r') return false;
  }
  return true;
}

struct Entry {
  std::string name;
  bool directory = false;
};

void CreateEntries(const fs::path& archive, const std::vector<Entry>& entries) {
  for (const Entry& entry : entries) {
    if (entry.directory) {
      fs::create_directory(archive / entry.name);
    } else {
      WriteFile(archive / entry.name, "");
    }
  }
}

// ---------------------------------------------------------------------------
// Runs that write a page.

struct PageCase {
  std::string label;
  std::vector<Entry> entries;  // made in this order inside "archive"
  std::string expected_page;
  std::string old_page;  // an index.html present before the run, if not empty
  std::vector<std::string> arguments;
};

void PrintTo(const PageCase& page_case, std::ostream* out) { *out << page_case.label; }

std::vector<PageCase> PageCases() {
  const std::size_t longest = LongestName();
  const std::size_t stem = longest - 4;  // room for ".jpg"
  return {
      {"EmptyArchive", {}, kEmptyPage, "", {}},
      {"NoMatchingEntries",
       {{"x.jpeg"}, {"x.jpg.txt"}, {"jpg"}, {"x.gif"}, {"image20261210083005.dc2"}},
       kEmptyPage, "", {}},
      {"OneEntry", {{"20261210083005.jpg"}}, Page({PlainLink("20261210083005.jpg")}), "", {}},
      {"SeveralEntriesInByteOrder",
       {{"20261210083005.jpg"}, {"b.jpg"}, {"20261209235959.jpg"}, {"B.jpg"}, {"_x.jpg"},
        {"9.jpg"}, {"20261210083004.jpg"}},
       Page({PlainLink("20261209235959.jpg"), PlainLink("20261210083004.jpg"),
             PlainLink("20261210083005.jpg"), PlainLink("9.jpg"), PlainLink("B.jpg"),
             PlainLink("_x.jpg"), PlainLink("b.jpg")}),
       "", {}},
      {"HighBytesSortAfterAscii",
       {{"\xc3\xa9t\xc3\xa9.jpg"}, {"zz.jpg"}, {"a.jpg"}},
       Page({PlainLink("a.jpg"), PlainLink("zz.jpg"),
             Link("%C3%A9t%C3%A9.jpg", "\xc3\xa9t\xc3\xa9.jpg")}),
       "", {}},
      {"UpperCaseExtension",
       {{"PIC.JPG"}, {"pic.Jpg"}}, Page({PlainLink("PIC.JPG"), PlainLink("pic.Jpg")}), "", {}},
      {"DirectoryListedLikeFile",
       {{"x.jpg", true}, {"y.jpg"}}, Page({PlainLink("x.jpg"), PlainLink("y.jpg")}), "", {}},
      {"HiddenEntries",
       {{".a.jpg"}, {".jpg"}}, Page({PlainLink(".a.jpg"), PlainLink(".jpg")}), "", {}},
      {"Blanks", {{"my picture.jpg"}}, Page({Link("my%20picture.jpg", "my picture.jpg")}), "", {}},
      {"AmpersandAndAngleBrackets",
       {{"a&b<c>.jpg"}}, Page({Link("a%26b%3Cc%3E.jpg", "a&amp;b&lt;c&gt;.jpg")}), "", {}},
      {"Quotes",
       {{"say \"hi\" 'x'.jpg"}},
       Page({Link("say%20%22hi%22%20%27x%27.jpg", "say &quot;hi&quot; &#39;x&#39;.jpg")}), "", {}},
      {"HashPercentQuestionMark",
       {{"#1 100%?.jpg"}}, Page({Link("%231%20100%25%3F.jpg", "#1 100%?.jpg")}), "", {}},
      {"UnreservedPunctuationKept",
       {{"a-b_c~d.e.jpg"}}, Page({PlainLink("a-b_c~d.e.jpg")}), "", {}},
      {"ControlBytes",
       {{"a\r\nb.jpg"}, {"c\x01\x1f\x7f\t.jpg"}, {"\n.jpg"}},
       Page({Link("%0A.jpg", "&#10;.jpg"), Link("a%0D%0Ab.jpg", "a&#13;&#10;b.jpg"),
             Link("c%01%1F%7F%09.jpg", "c&#1;&#31;&#127;&#9;.jpg")}),
       "", {}},
      {"NonUtf8Bytes",
       {{"caf\xe9\xff.jpg"}}, Page({Link("caf%E9%FF.jpg", "caf\xe9\xff.jpg")}), "", {}},
      {"LongestPlainName",
       {{std::string(stem, 'a') + ".jpg"}},
       Page({PlainLink(std::string(stem, 'a') + ".jpg")}), "", {}},
      {"LongestNameAllEscaped",
       {{std::string(stem, '&') + ".jpg"}},
       Page({Link(Repeat("%26", stem) + ".jpg", Repeat("&amp;", stem) + ".jpg")}), "", {}},
      {"ShorterPageReplacesLongerOne",
       {{"a.jpg"}}, Page({PlainLink("a.jpg")}), std::string(100000, 'x'), {}},
      {"ArgumentsIgnored",
       {{"a.jpg"}}, Page({PlainLink("a.jpg")}), "", {"--help", "-o", "other", "archive"}},
  };
}

class PageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageTest, WritesExactPage) {
  const PageCase& page_case = GetParam();
  const ScratchDirectory web;
  const fs::path archive = web.path() / "archive";
  fs::create_directory(archive);
  CreateEntries(archive, page_case.entries);
  if (!page_case.old_page.empty()) WriteFile(archive / "index.html", page_case.old_page);
  auto expected_tree = SnapshotTree(web.path());
  expected_tree["archive/index.html"] = page_case.expected_page;

  const ProcessResult result = RunProgram(kProgram, web.path(), page_case.arguments);

  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  const std::string page = ReadFile(archive / "index.html");
  EXPECT_EQ(page, page_case.expected_page);
  EXPECT_TRUE(EveryLineEndsWithCrLf(page));
  // Only the page changed: no temporary file is left, nothing else is touched.
  EXPECT_EQ(SnapshotTree(web.path()), expected_tree);
}

INSTANTIATE_TEST_SUITE_P(Archindex, PageTest, ::testing::ValuesIn(PageCases()),
                         [](const auto& info) { return info.param.label; });

// ---------------------------------------------------------------------------
// Runs that fail before a page is written: nothing may change anywhere.

constexpr char kOldPage[] = "<HTML>old page</HTML>\r\n";

struct RefusalCase {
  std::string label;
  std::function<void(const fs::path& web)> arrange;
  std::string run_in;  // relative to the web directory
  int expected_status;
  std::string expected_out;
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) { *out << refusal.label; }

void MakeArchiveWithOldPage(const fs::path& web) {
  fs::create_directory(web / "archive");
  WriteFile(web / "archive" / "a.jpg", "");
  WriteFile(web / "archive" / "index.html", kOldPage);
}

std::vector<RefusalCase> RefusalCases() {
  return {
      {"NoArchive", [](const fs::path&) {}, ".", 1, kNoArchiveMessage},
      {"StartedInsideArchive", MakeArchiveWithOldPage, "archive", 1, kNoArchiveMessage},
      {"ArchiveIsAFile",
       [](const fs::path& web) { WriteFile(web / "archive", "not a directory"); }, ".", 1,
       kNoArchiveMessage},
      {"IndexIsADirectory",
       [](const fs::path& web) {
         fs::create_directory(web / "archive");
         WriteFile(web / "archive" / "a.jpg", "");
         fs::create_directory(web / "archive" / "index.html");
         WriteFile(web / "archive" / "index.html" / "keep", "kept");
       },
       ".", 2, kCannotOpenMessage},
      {"IndexIsReadOnly",
       [](const fs::path& web) {
         MakeArchiveWithOldPage(web);
         fs::permissions(web / "archive" / "index.html",
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       },
       ".", 2, kCannotOpenMessage},
  };
}

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, ReportsAndChangesNothing) {
  const RefusalCase& refusal = GetParam();
  const ScratchDirectory web;
  refusal.arrange(web.path());
  const auto before = SnapshotTree(web.path());

  const ProcessResult result = RunProgram(kProgram, web.path() / refusal.run_in, {});

  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.status, refusal.expected_status);
  EXPECT_EQ(result.out, refusal.expected_out);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SnapshotTree(web.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Archindex, RefusalTest, ::testing::ValuesIn(RefusalCases()),
                         [](const auto& info) { return info.param.label; });

// ---------------------------------------------------------------------------
// Failures that need a file system that runs out of room.

// An archive whose page needs far more than 16 KiB.
void MakeLargeArchiveWithOldPage(const fs::path& web) {
  MakeArchiveWithOldPage(web);
  for (int i = 0; i < 100; ++i) {
    WriteFile(web / "archive" / (std::to_string(i) + std::string(200, '&') + ".jpg"), "");
  }
}

void ExpectFailedWriteLeftAllAsItWas(const ProcessResult& result,
                                     const std::map<std::string, std::string>& before,
                                     const fs::path& web) {
  ASSERT_TRUE(result.exited) << "ended by signal " << result.status;
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.out, kCannotWriteMessage);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SnapshotTree(web), before);
}

TEST(ArchindexWriteFailure, FullDiskKeepsOldPage) {
  const ScratchDirectory scratch;
  std::string why_not;
  const auto tmpfs = TmpfsMount::Mount(scratch.path(), "size=16k", why_not);
  if (!tmpfs) GTEST_SKIP() << why_not;
  MakeLargeArchiveWithOldPage(scratch.path());
  const auto before = SnapshotTree(scratch.path());

  const ProcessResult result = RunProgram(kProgram, scratch.path(), {});

  ExpectFailedWriteLeftAllAsItWas(result, before, scratch.path());
}

// Needs no privileges: a file size limit makes the writes fail the same way,
// whether the signal such a write raises is ignored by whoever started the
// program or left at its default, which would kill it.
class FileSizeLimitTest : public ::testing::TestWithParam<void (*)(int)> {};

TEST_P(FileSizeLimitTest, KeepsOldPage) {
  const ScratchDirectory web;
  MakeLargeArchiveWithOldPage(web.path());
  const auto before = SnapshotTree(web.path());

  const auto disposition = GetParam();
  const ProcessResult result = RunProgram(kProgram, web.path(), {}, [disposition] {
    std::signal(SIGXFSZ, disposition);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
  });

  ExpectFailedWriteLeftAllAsItWas(result, before, web.path());
}

INSTANTIATE_TEST_SUITE_P(ArchindexWriteFailure, FileSizeLimitTest,
                         ::testing::Values(SIG_IGN, SIG_DFL), [](const auto& info) {
                           return std::string(info.param == SIG_IGN ? "SignalIgnored" : "SignalDefault");
                         });

// A killed run leaves its temporary page behind; the next run removes it once
// it is old, and nothing else: not a fresh one (another run may be writing
// it), not other names, not a link of that name nor what it points to.
TEST(ArchindexTemporaryFile, StaleOnesAreRemoved) {
  const ScratchDirectory web;
  MakeArchiveWithOldPage(web.path());
  const fs::path archive = web.path() / "archive";
  const fs::path outside = web.path() / "outside.txt";
  WriteFile(outside, "kept");
  const auto hour_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
  const std::vector<std::string> stale = {".index.html.4242.0", ".index.html.1.17"};
  const std::vector<std::string> kept = {".index.html.4243.0", ".index.html.bak", ".index.html.12.x",
                                         ".other.html.1.0"};
  for (const std::string& name : stale) WriteFile(archive / name, "stale");
  for (const std::string& name : kept) WriteFile(archive / name, "kept");
  fs::create_symlink(outside, archive / ".index.html.77.0");
  const timespec link_hour_ago[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (archive / ".index.html.77.0").c_str(), link_hour_ago, AT_SYMLINK_NOFOLLOW), 0);
  for (const std::string& name : {stale[0], stale[1], kept[1], kept[2], kept[3]}) {
    fs::last_write_time(archive / name, hour_ago);
  }
  auto expected = SnapshotTree(web.path());
  for (const std::string& name : stale) expected.erase("archive/" + name);
  expected["archive/index.html"] = Page({PlainLink("a.jpg")});

  const ProcessResult result = RunProgram(kProgram, web.path(), {});

  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(fs::is_symlink(archive / ".index.html.77.0"));
  auto after = SnapshotTree(web.path());
  EXPECT_EQ(after, expected);
}

TEST(ArchindexTemporaryFile, CannotBeCreatedKeepsOldPage) {
  const ScratchDirectory scratch;
  std::unique_ptr<TmpfsMount> tmpfs;
  if (geteuid() == 0) {
    // Permission bits do not stop the superuser; running out of inodes does:
    // the root directory, "archive", "a.jpg" and "index.html" take all four.
    std::string why_not;
    tmpfs = TmpfsMount::Mount(scratch.path(), "nr_inodes=4", why_not);
    if (!tmpfs) GTEST_SKIP() << why_not;
    MakeArchiveWithOldPage(scratch.path());
  } else {
    MakeArchiveWithOldPage(scratch.path());
    fs::permissions(scratch.path() / "archive", fs::perms::owner_write | fs::perms::group_write |
                                                    fs::perms::others_write,
                    fs::perm_options::remove);
  }
  const auto before = SnapshotTree(scratch.path());

  const ProcessResult result = RunProgram(kProgram, scratch.path(), {});

  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, kCannotOpenMessage);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(SnapshotTree(scratch.path()), before);
}

// ---------------------------------------------------------------------------
// The page is replaced in one step, not rewritten in place.

TEST(ArchindexReplacement, ReaderOfOldPageKeepsWholeOldPage) {
  const ScratchDirectory web;
  MakeArchiveWithOldPage(web.path());
  std::ifstream reader(web.path() / "archive" / "index.html", std::ios::binary);
  ASSERT_TRUE(reader);

  const ProcessResult result = RunProgram(kProgram, web.path(), {});

  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(web.path() / "archive" / "index.html"), Page({PlainLink("a.jpg")}));
  const std::string seen_by_reader{std::istreambuf_iterator<char>(reader),
                                   std::istreambuf_iterator<char>()};
  EXPECT_EQ(seen_by_reader, kOldPage);
}

mode_t PermissionBits(const fs::path& file) {
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) return 0;
  return status.st_mode & 07777;
}

TEST(ArchindexReplacement, NewPageFollowsUmask) {
  const ScratchDirectory web;
  fs::create_directory(web.path() / "archive");

  const ProcessResult result = RunProgram(kProgram, web.path(), {}, [] { umask(022); });

  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(PermissionBits(web.path() / "archive" / "index.html"), 0644u);
}

TEST(ArchindexReplacement, ReplacedPageKeepsItsPermissions) {
  const ScratchDirectory web;
  MakeArchiveWithOldPage(web.path());
  const fs::path page = web.path() / "archive" / "index.html";
  ASSERT_EQ(chmod(page.c_str(), 0640), 0);

  const ProcessResult result = RunProgram(kProgram, web.path(), {}, [] { umask(077); });

  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(PermissionBits(page), 0640u);
}

}  // namespace
}  // namespace archindex::testing
