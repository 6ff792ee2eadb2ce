// The one way from the worker's threads to a page for what the program shows beyond the pages'
// own controls: the line under the bar, a retry notice in the status line, a silent server's
// wait in it, the word that the worker has ended. Updates wait here; the page, told by one posted
// message, takes them on its own thread and applies them, so no other thread touches its windows
// for them.
#pragma once

#include <windows.h>

#include <string>

#include "base/critical_section_lock.h"

// Posted to a page when updates wait for it.
constexpr UINT kPageUpdateMessage = WM_APP + 1;

struct PageUpdate {
  enum class Kind {
    ProgressLine,  // the line under the progress bar: text
    StatusText,    // a composed status line (a retry notice): text
    WorkerEnded,   // the download worker has ended: a new run may start
    ServerWait,    // the server is silent: the text that says so; empty once it is not
  };
  static constexpr int kKinds = 4;

  Kind kind;
  std::string text;
};

class PageUpdates {
 public:
  PageUpdates() = default;
  PageUpdates(const PageUpdates&) = delete;
  PageUpdates& operator=(const PageUpdates&) = delete;

  // On the page's thread: from now on the page takes the updates; Close: no page does, and
  // updates are dropped.
  void Open(HWND page);
  void Close();
  // From any thread. An update of a kind that still waits replaces it, so that a page that is
  // slow to take them sees the latest, not a backlog.
  void Send(PageUpdate update);
  // On the page's thread, on kPageUpdateMessage: the update of that kind, when one waits.
  bool Take(PageUpdate::Kind kind, std::string* text);

 private:
  void ClearLocked();

  CriticalSectionLock lock_;
  HWND page_ = nullptr;
  bool waiting_[PageUpdate::kKinds] = {};
  std::string text_[PageUpdate::kKinds];
};
