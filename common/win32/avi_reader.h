// The movies' stream headers, read by the platform's own AVI file handler.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "core/movie_info.h"
#include "win32/handles.h"

namespace win {

// One per thread: it readies COM and the AVI library on its thread and holds the AVI file
// handler's class factory. AVIFileOpen looks the handler up in the registry for every file, which
// costs several times the reading of the headers; loading each file through the factory is what
// AVIFileOpen does after its look-up.
class AviReader {
  public:
    AviReader();
    ~AviReader();
    AviReader(const AviReader&) = delete;
    AviReader& operator=(const AviReader&) = delete;

    // The file's first video and first audio stream; nothing when it cannot be read as AVI.
    std::optional<common::MovieInfo> read(const std::wstring& path) const;

  private:
    bool comStarted_ = false;
    bool libraryStarted_ = false;  // the AVI library found and started
    ComPtr<IClassFactory> factory_;
};

}  // namespace win
