#include "app/report/run_view.h"

#include "app/report/message_texts.h"
#include "app/report/progress_text.h"

int RunView::Message(unsigned text_id, unsigned caption_id, unsigned flags) {
  log_.Write("message %u (%s): %s", text_id, LoadResString(caption_id, English()).c_str(),
             LoadResString(text_id, English()).c_str());
  return Show(LoadResString(text_id), LoadResString(caption_id).c_str(), flags);
}

int RunView::Message(unsigned text_id, unsigned caption_id, unsigned flags,
                     const std::string& argument) {
  log_.Write("message %u (%s): %s", text_id, LoadResString(caption_id, English()).c_str(),
             FillIn(LoadResString(text_id, English()), {argument}).c_str());
  return Show(FillIn(LoadResString(text_id), {argument}), LoadResString(caption_id).c_str(), flags);
}
