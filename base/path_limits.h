// The size of the program's fixed text and path buffers.
#pragma once

#include <cstddef>

// Fixed text buffers and paths hold at most 259 characters and a terminating zero.
constexpr std::size_t kPathBufferSize = 260;
