// Rules about file names shared by the plug-ins.
#pragma once

#include <string_view>

namespace common {

// Whether the name ends in ".avi", the case of its letters ignored ("clip.AVI" does, "x.avix"
// does not).
bool hasAviExtension(std::wstring_view name);

// Whether Windows forbids c in a file name: \ / : * ? " < > | and the control characters. Files
// made by other systems can still carry such names.
bool isForbiddenInFileName(wchar_t c);
bool isForbiddenInFileName(std::wstring_view name);

}  // namespace common
