// Test helpers for the wizard's pages and for code that drives the progress dialog from a
// transfer thread: a hidden page from its template, a hidden progress dialog whose bar records
// what it is told, a message pump that runs until a
// request has ended, and a watcher that answers message boxes and records their texts.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/pages/page_font.h"
#include "app/report/language.h"

class HttpRequest;

// A hidden instance of a wizard page (dialog template 101 or 102) whose dialog procedure
// handles nothing; destroyed when it goes. Given a language, the page is that language's, in
// the font the wizard gives it.
class HiddenPage {
 public:
  explicit HiddenPage(int template_id);
  HiddenPage(int template_id, const Language& language);
  ~HiddenPage();
  HiddenPage(const HiddenPage&) = delete;
  HiddenPage& operator=(const HiddenPage&) = delete;

  HWND window() const { return window_; }

 private:
  PageFont font_;
  HWND window_ = nullptr;
};

// A hidden instance of the progress dialog (resource 102).
class HiddenProgressDialog {
 public:
  HiddenProgressDialog();
  ~HiddenProgressDialog();
  HiddenProgressDialog(const HiddenProgressDialog&) = delete;
  HiddenProgressDialog& operator=(const HiddenProgressDialog&) = delete;

  HWND window() const { return page_.window(); }
  std::string Text(int control_id) const;
  // Every PBM_SETPOS position and PBM_SETRANGE32 upper bound the bar received, in order.
  std::vector<long> Positions() const;
  std::vector<long> RangeUppers() const;
  // Every text set on a control (status line, current-file line), in order.
  std::vector<std::string> TextsSet(int control_id) const;

 private:
  static LRESULT CALLBACK RecordingProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);
  void Record(int control_id);

  HiddenPage page_;
};

// Waits for request on a helper thread while this thread dispatches the messages that the
// transfer thread sends to the dialog. Fails the test if it takes longer than timeout_ms.
void WaitWhilePumping(HttpRequest& request, DWORD timeout_ms = 20000);

// Answers every message box of this process with OK (meant for boxes that have only that
// button) and records its caption, text and owner.
class MessageBoxWatcher {
 public:
  struct Box {
    std::string caption;
    std::string text;
    HWND owner;
  };
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  std::vector<Box> Boxes() const;

 private:
  void Watch();

  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<Box> boxes_;
  std::thread thread_;
};
