#include "app/shared_state.h"

void* ModuleInstance = nullptr;
char PartnerId[kPathBufferSize] = {};
char PackageTitle[kPathBufferSize] = {};
std::vector<std::string> FileList;
std::string SetupUrl;
std::string SetupDigestWord;
char TempFolderBuffer[kPathBufferSize] = {};
char MessengerFolder[kPathBufferSize] = {};
std::atomic<bool> CancelRequested{false};
std::atomic<bool> SetupRequired{false};
std::atomic<std::uintptr_t> DownloadThread{kNoThread};
std::atomic<std::int32_t> DownloadResult{0};

static_assert(sizeof(std::atomic<bool>) == 1, "the shared flags are single bytes");
