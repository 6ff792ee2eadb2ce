#include "app/report/message_texts.h"

#include "app/report/module_instance.h"

std::string LoadResString(unsigned id) {
  char text[500] = {};
  HINSTANCE instance = ModuleInstance != nullptr ? ModuleInstance : GetModuleHandleA(nullptr);
  LoadStringA(instance, id, text, sizeof text);
  return text;
}

int ShowResMessage(HWND owner, unsigned id, const char* caption, unsigned flags) {
  return MessageBoxA(owner, LoadResString(id).c_str(), caption, flags);
}
