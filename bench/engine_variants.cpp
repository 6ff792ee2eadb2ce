#include "bench/engine_variants.h"

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/report/dialog_view.h"
#include "app/report/run_log.h"
#include "app/resources/resource.h"
#include "app/transfer/file_download.h"
#include "base/owned_handle.h"
#include "bench/win_measure.h"

namespace {

// Posted to the page when the transfer thread has finished with the file.
constexpr UINT kTransferEnded = WM_APP + 1;
// How often page=timer moves the bar to the count of bytes written.
constexpr UINT kTimerId = 1;
constexpr UINT kTimerMs = 100;

enum class Page { None, Idle, Send, Roundtrip, Post, Coarse, Timer };
enum class Write { Fwrite, WriteFile, None };

struct Options {
  bool program = true;
  Page page = Page::None;
  Write write = Write::Fwrite;
  int receive = 0;  // 0: the engine's own receive loop
};

template <typename T, std::size_t N>
bool Choose(const std::pair<const char*, T> (&names)[N], const std::string& value, T* choice) {
  for (const auto& entry : names) {
    if (value == entry.first) {
      *choice = entry.second;
      return true;
    }
  }
  return false;
}

const std::pair<const char*, bool> kEngines[] = {{"program", true}, {"sink", false}};
const std::pair<const char*, Page> kPages[] = {
    {"none", Page::None},           {"idle", Page::Idle}, {"send", Page::Send},
    {"roundtrip", Page::Roundtrip}, {"post", Page::Post}, {"coarse", Page::Coarse},
    {"timer", Page::Timer}};
const std::pair<const char*, Write> kWrites[] = {
    {"fwrite", Write::Fwrite}, {"writefile", Write::WriteFile}, {"none", Write::None}};

bool ParseOptions(int count, char** items, Options* options) {
  for (int i = 0; i < count; ++i) {
    std::string item = items[i];
    std::string::size_type equals = item.find('=');
    if (equals == std::string::npos) return false;
    std::string name = item.substr(0, equals);
    std::string value = item.substr(equals + 1);
    bool known = false;
    if (name == "engine") known = Choose(kEngines, value, &options->program);
    if (name == "page") known = Choose(kPages, value, &options->page);
    if (name == "write") known = Choose(kWrites, value, &options->write);
    if (name == "receive") {
      options->receive = std::atoi(value.c_str());
      known = options->receive >= 1024;
    }
    if (!known) return false;
  }
  // The program's class knows only its own way of updating the page and writing.
  return !options->program || ((options->page == Page::None || options->page == Page::Send) &&
                               options->write == Write::Fwrite && options->receive == 0);
}

// What every variant exposes to the runner.
class Measured {
 public:
  virtual ~Measured() = default;
  virtual HttpRequest& Request() = 0;
  virtual unsigned long long Bytes() const = 0;
  // Why the transfer failed, or null when it did not.
  virtual const char* Failure() = 0;
};

// The page FileDownload shows itself on, and a log that is never opened. A base of its own, so
// that it is built before FileDownload.
struct ProgramView {
  explicit ProgramView(HWND page) : view(page, log) {}
  RunLog log;
  DialogView view;
  CancelSignal cancel;
};

// FileDownload itself; tells the page when it is done.
class ProgramDownload : private ProgramView, public FileDownload, public Measured {
 public:
  ProgramDownload(const char* url, HWND page, const std::string& folder)
      : ProgramView(page), FileDownload(url, view, folder, cancel), page_(page) {}
  ~ProgramDownload() override { Stop(); }

  HttpRequest& Request() override { return *this; }
  unsigned long long Bytes() const override { return State().BytesReceived; }
  const char* Failure() override {
    return TransferOutcome().Succeeded() ? nullptr : RunResultName(TransferOutcome().result);
  }

 protected:
  void OnFinish() override {
    FileDownload::OnFinish();
    if (page_ != nullptr) PostMessageA(page_, kTransferEnded, 0, 0);
  }

 private:
  HWND page_;
};

// The same transfer with each of its costs exchangeable.
class Sink : public HttpRequest, public Measured {
 public:
  Sink(const char* url, const char* path, const Options& options, HWND page)
      : HttpRequest(url), path_(path), options_(options), page_(page) {}
  ~Sink() override { Stop(); }

  HttpRequest& Request() override { return *this; }
  unsigned long long Bytes() const override { return written_; }
  const char* Failure() override {
    if (store_failed_) return "cannot store";
    return Result().Succeeded() ? nullptr : TransferErrorName(Result().error);
  }

 protected:
  bool OnStart() override {
    if (options_.write == Write::Fwrite) {
      stream_ = std::fopen(path_.c_str(), "wb");
      if (stream_ == nullptr) return Refuse();
    } else if (options_.write == Write::WriteFile) {
      file_.Reset(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file_.Valid()) return Refuse();
    }
    if (page_ != nullptr) {
      bar_ = GetDlgItem(page_, IDC_PROGRESS_BAR);
      SendMessageA(bar_, PBM_SETRANGE32, 0, 0);
      SendMessageA(bar_, PBM_SETPOS, 0, 0);
    }
    return true;
  }

  bool OnData(const char* data, int length) override {
    if (first_block_ && bar_ != nullptr) {
      range_ = std::strtol(ReplyHeaders().Lookup("content-length").c_str(), nullptr, 10);
      SendMessageA(bar_, PBM_SETRANGE32, 0, range_);
    }
    first_block_ = false;
    if (!Store(data, length)) return Refuse();
    written_ += static_cast<unsigned long long>(length);
    if (bar_ != nullptr) ShowProgress(length);
    return true;
  }

  void OnFinish() override {
    if (stream_ != nullptr && std::fclose(stream_) != 0) store_failed_ = true;
    stream_ = nullptr;
    file_.Reset();
    if (page_ != nullptr) PostMessageA(page_, kTransferEnded, 0, 0);
  }

  void Run() override {
    if (options_.receive == 0) {
      HttpRequest::Run();
    } else {
      RunWithReceiveSize();
    }
  }

 private:
  bool Refuse() {
    store_failed_ = true;
    return false;
  }

  bool Store(const char* data, int length) {
    if (options_.write == Write::Fwrite) {
      return std::fwrite(data, 1, static_cast<std::size_t>(length), stream_) ==
             static_cast<std::size_t>(length);
    }
    if (options_.write == Write::WriteFile) {
      DWORD stored = 0;
      return WriteFile(file_.Get(), data, static_cast<DWORD>(length), &stored, nullptr) &&
             stored == static_cast<DWORD>(length);
    }
    return true;
  }

  void ShowProgress(int length) {
    switch (options_.page) {
      case Page::Send: {
        LRESULT position = SendMessageA(bar_, PBM_GETPOS, 0, 0);
        SendMessageA(bar_, PBM_SETPOS, position + length, 0);
        break;
      }
      case Page::Roundtrip:
        SendMessageA(bar_, PBM_GETPOS, 0, 0);
        break;
      case Page::Post:
        PostMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(written_), 0);
        break;
      case Page::Coarse:
        if (static_cast<long long>(written_ - shown_) * 512 >= range_ ||
            static_cast<long long>(written_) >= range_) {
          SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(written_), 0);
          shown_ = written_;
        }
        break;
      case Page::None:
      case Page::Idle:
      case Page::Timer:
        break;
    }
  }

  // A plain HTTP/1.0 reading loop with another receive size: headers up to the blank line,
  // then the body until Content-Length or the end of the connection. Enough for nginx.
  void RunWithReceiveSize() {
    const Url& url = RequestUrl();
    const HostAddresses addresses = ResolveHost(url.Host, url.Port);
    HeaderMap headers;
    bool headers_done = false;
    if (addresses.list.empty() || !socket_.Create() ||
        !socket_.ConnectToAny(ConnectionOrder(addresses.list), nullptr)) {
      socket_.Close();
      ReportError({TransferError::Connect, 0, socket_.LastError()});
      return;
    }
    const std::string request = FormatRequest();
    if (!socket_.SendAll(request.data(), static_cast<int>(request.size()))) {
      socket_.Close();
      ReportError({TransferError::Send, 0, socket_.LastError()});
      return;
    }
    std::vector<char> buffer(static_cast<std::size_t>(options_.receive));
    std::string head;
    unsigned long long length = ~0ULL;
    unsigned long long body = 0;
    bool failed = false;
    for (;;) {
      int received = socket_.Receive(buffer.data(), options_.receive);
      if (received <= 0) {
        failed = received < 0;
        break;
      }
      const char* block = buffer.data();
      int block_length = received;
      if (!headers_done) {
        head.append(block, static_cast<std::size_t>(received));
        std::string::size_type end = head.find("\r\n\r\n");
        if (end == std::string::npos) continue;
        headers.Parse(head.substr(0, end).c_str());
        headers_done = true;
        if (headers.StatusCode != 200) {
          socket_.Close();
          ReportError({TransferError::HttpStatus, headers.StatusCode, 0});
          return;
        }
        std::string announced = headers.Lookup("Content-Length");
        if (!announced.empty()) length = std::strtoull(announced.c_str(), nullptr, 10);
        block_length = static_cast<int>(head.size() - (end + 4));
        block += received - block_length;
      }
      if (block_length > 0 && !OnData(block, block_length)) break;
      body += static_cast<unsigned long long>(block_length);
      if (body >= length) break;
    }
    socket_.Close();
    if (!store_failed_ && (failed || (length != ~0ULL && body < length))) {
      ReportError({failed ? TransferError::ReceiveFailed : TransferError::CutShort, 0, 0});
    }
  }

  // The variant with its own receive size reads through a socket of its own.
  TcpSocket socket_;
  std::string path_;
  Options options_;
  HWND page_;
  HWND bar_ = nullptr;
  std::FILE* stream_ = nullptr;
  OwnedHandle file_;
  bool first_block_ = true;
  long range_ = 0;
  std::atomic<unsigned long long> written_{0};
  unsigned long long shown_ = 0;
  bool store_failed_ = false;
};

struct Run {
  std::string url;
  std::string output;
  std::string folder;  // where the program's FileDownload stores the file
  Options options;
  std::unique_ptr<Measured> transfer;
  std::unique_ptr<Stopwatch> clock;
  double seconds = 0;
  bool started = false;
};

std::unique_ptr<Measured> MakeTransfer(const Run& run, HWND page) {
  if (run.options.program) {
    return std::make_unique<ProgramDownload>(run.url.c_str(), page, run.folder);
  }
  return std::make_unique<Sink>(run.url.c_str(), run.output.c_str(), run.options, page);
}

// The progress page, as the wizard shows it while the transfer thread updates it.
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM lparam) {
  Run* run = reinterpret_cast<Run*>(GetWindowLongPtrA(page, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    run = reinterpret_cast<Run*>(lparam);
    SetWindowLongPtrA(page, GWLP_USERDATA, lparam);
    run->transfer = MakeTransfer(*run, page);
    run->clock = std::make_unique<Stopwatch>();
    run->started = run->transfer->Request().Start(false);
    if (!run->started) EndDialog(page, 0);
    if (run->options.page == Page::Timer) SetTimer(page, kTimerId, kTimerMs, nullptr);
    return TRUE;
  }
  if (message == WM_TIMER && run != nullptr) {
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS,
                        static_cast<WPARAM>(run->transfer->Bytes()), 0);
    return TRUE;
  }
  if (message == kTransferEnded && run != nullptr) {
    run->seconds = run->clock->Seconds();
    KillTimer(page, kTimerId);
    EndDialog(page, 0);
    return TRUE;
  }
  return FALSE;
}

std::string FolderOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int RunEngineVariant(const char* url, const char* output, int option_count, char** options) {
  Run run;
  run.url = url;
  run.output = output;
  if (!ParseOptions(option_count, options, &run.options)) {
    std::fprintf(stderr, "bench_download: unknown or unusable option\n");
    return 2;
  }
  if (run.options.program) {
    // FileDownload names the file after the URL and puts it into the temporary folder.
    if (NameOf(run.output) != Url(url).FileName) {
      std::fprintf(stderr, "bench_download: the output file must be named as in the URL\n");
      return 2;
    }
    run.folder = FolderOf(run.output);
  }

  if (run.options.page == Page::None) {
    run.transfer = MakeTransfer(run, nullptr);
    run.clock = std::make_unique<Stopwatch>();
    run.started = run.transfer->Request().Start(false);
    if (run.started) run.transfer->Request().Wait();
    run.seconds = run.clock->Seconds();
  } else {
    InitCommonControls();
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, PageProc,
                    reinterpret_cast<LPARAM>(&run));
    if (run.started) run.transfer->Request().Wait();
  }
  if (!run.started) {
    std::fprintf(stderr, "bench_download: could not start\n");
    return 1;
  }
  if (const char* failure = run.transfer->Failure()) {
    std::fprintf(stderr, "bench_download: %s\n", failure);
    return 1;
  }
  PrintReport(run.transfer->Bytes(), run.seconds, 0);
  return 0;
}
