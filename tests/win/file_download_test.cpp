#include "app/transfer/file_download.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/report/dialog_view.h"
#include "app/resources/resource.h"
#include "tests/unit/scripted_server.h"
#include "tests/win/test_folders.h"
#include "tests/win/wizard_test_support.h"

void PrintTo(const Outcome& outcome, std::ostream* os) {
  *os << RunResultName(outcome.result) << " " << outcome.http_status;
}

namespace {

const char kCannotCreate[] = "Could not create destination file!";
const char kCannotConnect[] = "Can't connect to server, please try again later.";

std::string Ok(const std::string& headers) {
  return "HTTP/1.0 200 OK\r\n" + headers + "\r\n";
}

const Outcome kSucceeded{RunResult::Succeeded, 0};

class FileDownloadTest : public testing::Test {
 protected:
  // Runs one download of url into the scratch folder while pumping the dialog's messages.
  Outcome Download(const std::string& url, HWND dialog, std::uint64_t limit = 0) {
    RunLog log;
    DialogView view(dialog, log);
    FileDownload download(url.c_str(), view, destination_folder_, cancel_);
    download.LimitSize(limit);
    if (download.Start(false)) WaitWhilePumping(download);
    destination_ = download.DestinationFile();
    over_limit_ = download.OverLimit();
    return download.TransferOutcome();
  }

  CancelSignal cancel_;

  TempTestFolder folder_{"orvex-file-download-test"};
  std::string destination_folder_ = folder_.Path();
  HiddenProgressDialog dialog_;
  std::string destination_;
  bool over_limit_ = false;
};

TEST_F(FileDownloadTest, WritesTheBodyIntoTheTempFolderAndShowsTheTransfer) {
  ScriptedServer server({{{Ok("Content-Length: 1000\r\n") + std::string(400, 'a'), 0},
                          {std::string(400, 'b'), 80},
                          {std::string(200, 'c'), 80}}});
  MessageBoxWatcher boxes;
  EXPECT_EQ(Download(server.UrlFor("/cb/partner/acme/urls.cb"), dialog_.window()), kSucceeded);
  server.Finish();

  EXPECT_EQ(server.Request(), server.GetRequest("/cb/partner/acme/urls.cb"));
  EXPECT_EQ(destination_, folder_.Path() + "\\urls.cb");
  EXPECT_EQ(ReadFileText(folder_ / "urls.cb"),
            std::string(400, 'a') + std::string(400, 'b') + std::string(200, 'c'));
  EXPECT_EQ(dialog_.TextsSet(IDC_CURRENT_FILE),
            (std::vector<std::string>{"Currently downloading urls.cb", ""}));
  EXPECT_EQ(dialog_.TextsSet(IDC_STATUS),
            (std::vector<std::string>{"Connecting...", "Download in progress..."}));
  EXPECT_EQ(dialog_.RangeUppers(), (std::vector<long>{0, 1000}));
  EXPECT_EQ(dialog_.Positions(), (std::vector<long>{0, 400, 800, 1000, 0}));
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(FileDownloadTest, BarMovesInHundredthsAndEndsAtTheTotal) {
  // 400 blocks of 1000 bytes, each in a receive of its own: the bar shows hundredths and a
  // position every 50 ms, not every block.
  std::vector<ScriptStep> steps{{Ok("Content-Length: 400000\r\n"), 0}};
  for (int i = 0; i < 400; ++i) steps.push_back({std::string(1000, 'x'), 1});
  ScriptedServer server({steps});
  EXPECT_EQ(Download(server.UrlFor("/big.bin"), dialog_.window()), kSucceeded);
  server.Finish();
  std::vector<long> positions = dialog_.Positions();
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(positions.front(), 0);
  EXPECT_EQ(positions.back(), 0);  // the bar is emptied for the next file
  EXPECT_EQ(positions[positions.size() - 2], 400000);
  EXPECT_LE(positions.size(), 2u + 100u + 20u);
  for (std::size_t i = 2; i + 1 < positions.size(); ++i) EXPECT_GT(positions[i], positions[i - 1]);
}

TEST_F(FileDownloadTest, WithoutContentLengthTheBarStaysEmptyAndTheFileIsComplete) {
  ScriptedServer server({{{Ok("") + "first ", 0}, {"second", 80}}});
  EXPECT_EQ(Download(server.UrlFor("/files/skin.bmp"), dialog_.window()), kSucceeded);
  server.Finish();
  EXPECT_EQ(ReadFileText(folder_ / "skin.bmp"), "first second");
  EXPECT_EQ(dialog_.RangeUppers(), (std::vector<long>{0}));
}

TEST_F(FileDownloadTest, HeaderBlockEndingAReadGivesAnEmptyFirstBlock) {
  ScriptedServer server({{{Ok("Content-Length: 4\r\n"), 0}, {"data", 100}}});
  EXPECT_EQ(Download(server.UrlFor("/f.txt"), dialog_.window()), kSucceeded);
  server.Finish();
  EXPECT_EQ(ReadFileText(folder_ / "f.txt"), "data");
  EXPECT_EQ(dialog_.RangeUppers(), (std::vector<long>{0, 4}));
  // An empty block does not move the bar.
  EXPECT_EQ(dialog_.Positions(), (std::vector<long>{0, 4, 0}));
}

TEST_F(FileDownloadTest, AFileWithALimitStopsAtItAsTheBytesArrive) {
  const struct {
    const char* what;
    std::vector<ScriptStep> steps;
    bool over;
    std::size_t stored;
  } cases[] = {
      {"announced over", {{Ok("Content-Length: 5000\r\n") + std::string(400, 'a'), 0}}, true, 0},
      {"no length, brought over",
       {{Ok("") + std::string(400, 'a'), 0},
        {std::string(400, 'b'), 80},
        {std::string(400, 'c'), 80}},
       true,
       800},
      {"at the limit", {{Ok("Content-Length: 1000\r\n") + std::string(1000, 'a'), 0}}, false, 1000},
  };
  for (const auto& c : cases) {
    TempTestFolder folder("orvex-file-download-limit");
    destination_folder_ = folder.Path();
    ScriptedServer server({c.steps});
    MessageBoxWatcher boxes;
    const Outcome outcome = Download(server.UrlFor("/urls.cb.sig"), dialog_.window(), 1000);
    server.Finish();
    EXPECT_EQ(outcome.result, c.over ? RunResult::PackageNotVerified : RunResult::Succeeded)
        << c.what;
    EXPECT_EQ(over_limit_, c.over) << c.what;
    EXPECT_EQ(ReadFileText(folder / "urls.cb.sig").size(), c.stored) << c.what;
    EXPECT_TRUE(boxes.Boxes().empty()) << c.what;
  }
}

TEST_F(FileDownloadTest, HttpErrorShowsTheConnectMessageAndLeavesAnEmptyFile) {
  ScriptedServer server({{{"HTTP/1.0 404 Not Found\r\n\r\nnot here", 0}}});
  MessageBoxWatcher boxes;
  EXPECT_EQ(Download(server.UrlFor("/dl/Skin.dat"), dialog_.window()),
            (Outcome{RunResult::HttpStatus, 404}));
  server.Finish();
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
  EXPECT_EQ(boxes.Boxes()[0].text, kCannotConnect);
  EXPECT_EQ(boxes.Boxes()[0].owner, dialog_.window());
  EXPECT_TRUE(PathExists(folder_ / "Skin.dat"));
  EXPECT_EQ(ReadFileText(folder_ / "Skin.dat"), "");
}

TEST_F(FileDownloadTest, CutShortBodyIsAnError) {
  ScriptedServer server({{{Ok("Content-Length: 10\r\n") + "12345", 0}}});
  MessageBoxWatcher boxes;
  EXPECT_EQ(Download(server.UrlFor("/dl/skin.bmp"), dialog_.window()),
            (Outcome{RunResult::ReplyCutShort, 0}));
  server.Finish();
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kCannotConnect);
}

TEST_F(FileDownloadTest, RefusesFileNamesThatCouldLeaveTheFolder) {
  // Nothing listens on this port: a connection attempt would end with ErrorConnect.
  std::string base = "http://127.0.0.1:" + std::to_string(ScriptedServer::UnusedPort());
  const char* paths[] = {"/dl/",          "/dl/..",         "/dl/.",    "/dl/..\\evil.exe",
                         "/dl/..\\..\\x", "/dl/C:evil.exe", "/dl/a\tb", "/dl/a\x01"};
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    MessageBoxWatcher boxes;
    EXPECT_EQ(Download(base + path, dialog_.window()), (Outcome{RunResult::CannotStoreFile, 0}));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.Boxes()[0].text, kCannotCreate);
  }
  // Nothing was written beside the scratch folder either.
  std::string parent = folder_.Path().substr(0, folder_.Path().rfind('\\'));
  EXPECT_EQ(GetFileAttributesA((parent + "\\evil.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(dialog_.TextsSet(IDC_CURRENT_FILE).empty()) << "no control is touched";
}

TEST_F(FileDownloadTest, CancelStopsAfterTheBlockInProgress) {
  ScriptedServer server(
      {{{Ok("Content-Length: 8\r\n") + "1234", 0}, {"5678", 300}}, ScriptEnd::Close});
  cancel_.Set();
  EXPECT_EQ(Download(server.UrlFor("/dl/skin.bmp"), dialog_.window()), kSucceeded);
  server.Finish();
  EXPECT_EQ(ReadFileText(folder_ / "skin.bmp"), "1234");
  EXPECT_EQ(dialog_.TextsSet(IDC_CURRENT_FILE).back(), "") << "the line is cleared";
}

TEST_F(FileDownloadTest, WithoutADialogNoControlIsTouched) {
  ScriptedServer server({{{"HTTP/1.0 500 Oops\r\n\r\n", 0}}});
  MessageBoxWatcher boxes;
  EXPECT_EQ(Download(server.UrlFor("/a/b.txt"), nullptr), (Outcome{RunResult::HttpStatus, 500}));
  server.Finish();
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kCannotConnect);
  EXPECT_EQ(boxes.Boxes()[0].owner, nullptr);
  EXPECT_TRUE(dialog_.TextsSet(IDC_STATUS).empty());
  EXPECT_TRUE(dialog_.Positions().empty());
}

TEST_F(FileDownloadTest, ExistingFileIsNeitherReplacedNorWrittenThrough) {
  WriteFileText(folder_ / "x.txt", "placed there first");
  // Nothing listens on this port: a connection attempt would end with ErrorConnect.
  std::string base = "http://127.0.0.1:" + std::to_string(ScriptedServer::UnusedPort());
  MessageBoxWatcher boxes;
  EXPECT_EQ(Download(base + "/x.txt", dialog_.window()), (Outcome{RunResult::CannotStoreFile, 0}));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, kCannotCreate);
  EXPECT_EQ(ReadFileText(folder_ / "x.txt"), "placed there first");
}

TEST_F(FileDownloadTest, EmptyTempFolderMeansTheProgramFolder) {
  destination_folder_.clear();
  ScriptedServer server({{{Ok("Content-Length: 2\r\n") + "ok", 0}}});
  EXPECT_EQ(Download(server.UrlFor("/orvex-program-folder-test.txt"), nullptr), kSucceeded);
  server.Finish();
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof module);
  std::string expected(module);
  expected = expected.substr(0, expected.rfind('\\')) + "\\orvex-program-folder-test.txt";
  EXPECT_EQ(destination_, expected);
  EXPECT_NE(GetFileAttributesA(expected.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA(expected.c_str());
}

TEST_F(FileDownloadTest, LongFileNameLineIsCutToItsBuffer) {
  // A short temporary folder keeps the destination path itself within limits.
  CreateDirectoryA("C:\\t", nullptr);
  destination_folder_ = "C:\\t";
  const std::string name(245, 'n');
  ScriptedServer server({{{Ok("Content-Length: 1\r\n") + "z", 0}}});
  EXPECT_EQ(Download(server.UrlFor("/" + name), dialog_.window()), kSucceeded);
  server.Finish();
  std::vector<std::string> lines = dialog_.TextsSet(IDC_CURRENT_FILE);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], ("Currently downloading " + name).substr(0, 259));
  DeleteFileA(("C:\\t\\" + name).c_str());
  RemoveDirectoryA("C:\\t");
}

}  // namespace
