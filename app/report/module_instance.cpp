#include "app/report/module_instance.h"

HINSTANCE ModuleInstance = nullptr;
const Language* RunLanguage = &English();
