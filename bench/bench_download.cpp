// Downloads one URL into one file with the HTTP engine. For run_bench.py.
//   bench_download <url> <output file>                     natively
//   bench_download <url> <output file> [name=value ...]    Windows build, under Wine
// Natively the engine's HttpRequest runs as the program's does, each received block goes with
// one fwrite to a buffered "wb" stream, and the byte count goes to stdout. The Windows build runs
// the program's FileDownload itself, or a variant of it (engine_variants.h), and prints the report
// line of win_measure.h. Exit status 0 when the transfer reported no error.
#include <cstdio>

#ifdef _WIN32
#include "bench/engine_variants.h"
#else
#include "net/request/http_request.h"

namespace {
class FileSink : public HttpRequest {
 public:
  FileSink(const char* url, const char* path) : HttpRequest(url), path_(path) {}
  ~FileSink() override { Stop(); }

  unsigned long long written = 0;
  bool cannot_open = false;

 protected:
  bool OnStart() override {
    file_ = std::fopen(path_, "wb");
    if (file_ == nullptr) {
      cannot_open = true;
      return false;
    }
    return true;
  }
  void OnFinish() override {
    std::fclose(file_);
    file_ = nullptr;
  }
  bool OnData(const char* data, int length) override {
    written += std::fwrite(data, 1, static_cast<std::size_t>(length), file_);
    return true;
  }

 private:
  const char* path_;
  std::FILE* file_ = nullptr;
};
}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  if (argc >= 3) return RunEngineVariant(argv[1], argv[2], argc - 3, argv + 3);
#else
  if (argc == 3) {
    FileSink download(argv[1], argv[2]);
    if (!download.Start(false)) {
      std::fprintf(stderr, "bench_download: could not start\n");
      return 1;
    }
    download.Wait();
    std::printf("%llu\n", download.written);
    if (download.cannot_open || !download.Result().Succeeded()) {
      std::fprintf(stderr, "bench_download: %s\n",
                   download.cannot_open ? "cannot open the output file"
                                        : TransferErrorName(download.Result().error));
      return 1;
    }
    return 0;
  }
#endif
  std::fprintf(stderr, "usage: %s <url> <output file>%s\n", argv[0],
#ifdef _WIN32
               " [name=value ...]"
#else
               ""
#endif
  );
  return 2;
}
