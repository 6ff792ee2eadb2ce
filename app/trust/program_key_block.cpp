// The program's partner key block as the build leaves it: its mark, format 1, no key
// (partner_key.h gives the layout). The partner tool finds it by its mark, which must occur in
// the program's file nowhere else, and fills it in place; it lies in the read-only data, which
// an Authenticode signature of the program covers. Only its address is used in the program:
// its bytes are read from the program's file (program_keys.cpp).
#include "app/trust/program_keys.h"

const unsigned char kProgramKeyBlock[kKeyBlockSize] = {'O', 'R', 'V', 'E', 'X', '-', 'K', 'E', 'Y',
                                                       'S', '-', 'B', 'L', 'O', 'C', 'K', 1};
