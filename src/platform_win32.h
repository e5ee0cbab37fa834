// The Windows backend's own pieces beside OpenSystemServices(), for its tests.
#pragma once

#include <memory>

#include "platform.h"

namespace ordplan {

// The Windows code page `codePage` (a number such as GetACP returns): labels are decoded with
// MultiByteToWideChar rejecting invalid and incomplete sequences, text is encoded with
// WideCharToMultiByte and the system's default replacement of missing characters.
std::unique_ptr<CodePage> OpenWindowsCodePage(unsigned int codePage);

// The x87 control word that OpenSystemServices() sets: a 64-bit significand, rounding to
// nearest, every exception masked (the program tests its operands instead of trapping).
inline constexpr unsigned short ExtendedPrecisionControlWord = 0x037F;

}  // namespace ordplan
