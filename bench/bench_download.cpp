// Downloads one URL into one file with the HTTP engine, writing each received block with one
// fwrite to a buffered "wb" stream, as the program's file download does. For run_bench.py.
//   bench_download <url> <output file>
// Exit status 0 when the transfer reported no error; the byte count goes to stdout.
#include <cstdio>

#include "net/http_request.h"

namespace {
class FileSink : public HttpRequest {
 public:
  FileSink(const char* url, const char* path) : HttpRequest(url), path_(path) {}
  ~FileSink() override { Stop(); }

  unsigned long long written = 0;

 protected:
  bool OnStart() override {
    file_ = std::fopen(path_, "wb");
    if (file_ == nullptr) {
      ResultCode = ErrorReported;
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

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <url> <output file>\n", argv[0]);
    return 2;
  }
  FileSink download(argv[1], argv[2]);
  if (!download.Start(false)) {
    std::fprintf(stderr, "bench_download: could not start\n");
    return 1;
  }
  download.Wait();
  std::printf("%llu\n", download.written);
  if (download.ResultCode != 0) {
    std::fprintf(stderr, "bench_download: result %d\n", static_cast<int>(download.ResultCode));
    return 1;
  }
  return 0;
}
