#include "app/report/run_view.h"

#include "app/report/message_texts.h"
#include "app/report/progress_text.h"

int RunView::Message(unsigned text_id, const char* caption, unsigned flags) {
  const std::string text = LoadResString(text_id);
  log_.Write("message %u (%s): %s", text_id, caption, text.c_str());
  return Show(text, caption, flags);
}

int RunView::Message(unsigned text_id, const char* caption, unsigned flags,
                     const std::string& argument) {
  const std::string text = FillIn(LoadResString(text_id), {argument});
  log_.Write("message %u (%s): %s", text_id, caption, text.c_str());
  return Show(text, caption, flags);
}
