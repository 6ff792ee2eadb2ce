#include "messenger/temp_folder.h"

char TempFolderBuffer[260] = {};
