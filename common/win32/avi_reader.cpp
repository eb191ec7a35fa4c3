#include "win32/avi_reader.h"

#include <vfw.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "core/avi_header.h"
#include "win32/system_library.h"

namespace win {

namespace {

// The platform's AVI file handler (CLSID_AVIFile) and its interface (IID_IAVIFile): MinGW's
// import library lacks the one and makes the other a code stub, not the GUID.
constexpr CLSID kAviFileHandler = {0x00020000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kAviFileInterface = {0x00020020, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// A stream format larger than this is no format this reader needs to look into.
constexpr LONG kMaxFormat = 64 * 1024;

// The AVI library's functions, looked up when a movie is first read: linked the usual way, the
// library and those it loads in turn would be loaded before every window of the plug-ins shows.
struct AviLibrary {
    decltype(::AVIFileInit)* fileInit;
    decltype(::AVIFileExit)* fileExit;
    decltype(::AVIFileGetStream)* fileGetStream;
    decltype(::AVIStreamInfoW)* streamInfo;
    decltype(::AVIStreamReadFormat)* streamReadFormat;

    bool complete() const {
        return fileInit && fileExit && fileGetStream && streamInfo && streamReadFormat;
    }
};

const AviLibrary& aviLibrary() {
    static const AviLibrary library = [] {
        constexpr wchar_t kName[] = L"avifil32.dll";
        return AviLibrary{
            systemFunction<decltype(::AVIFileInit)>(kName, "AVIFileInit"),
            systemFunction<decltype(::AVIFileExit)>(kName, "AVIFileExit"),
            systemFunction<decltype(::AVIFileGetStream)>(kName, "AVIFileGetStream"),
            systemFunction<decltype(::AVIStreamInfoW)>(kName, "AVIStreamInfoW"),
            systemFunction<decltype(::AVIStreamReadFormat)>(kName, "AVIStreamReadFormat"),
        };
    }();
    return library;
}

// Whether the file's layout up to the end of its movie data is sound (read here first: the
// platform's handler may crash on a damaged one).
bool hasSoundLayout(const std::wstring& path) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return false;
    return common::isSoundAviLayout(
        static_cast<std::uint64_t>(size.QuadPart),
        [&file](std::uint64_t offset, std::span<unsigned char> into) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD got = 0;
            return ReadFile(file.get(), into.data(), static_cast<DWORD>(into.size()), &got, &at) &&
                   got == into.size();
        });
}

// The stream's format bytes, or none when it has none of at least `least` bytes.
std::vector<BYTE> streamFormat(IAVIStream* stream, std::size_t least) {
    LONG size = 0;
    const auto readFormat = aviLibrary().streamReadFormat;
    if (readFormat(stream, 0, nullptr, &size) != 0 || size < static_cast<LONG>(least) ||
        size > kMaxFormat)
        return {};
    std::vector<BYTE> format(static_cast<std::size_t>(size));
    if (readFormat(stream, 0, format.data(), &size) != 0 || size < static_cast<LONG>(least))
        return {};
    return format;
}

common::VideoFormat videoFormat(IAVIStream* stream, const AVISTREAMINFOW& info) {
    common::VideoFormat video;
    video.rate = info.dwRate;
    video.scale = info.dwScale;
    video.frames = info.dwLength;
    const auto format = streamFormat(stream, sizeof(BITMAPINFOHEADER));
    if (format.empty()) {
        video.codec = info.fccHandler;
        video.width = info.rcFrame.right - info.rcFrame.left;
        video.height = info.rcFrame.bottom - info.rcFrame.top;
        return video;
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, format.data(), sizeof header);
    video.codec = header.biCompression;
    video.bitsPerPixel = header.biBitCount;
    video.width = header.biWidth;
    // A negative height marks a top-down picture of the same size.
    video.height =
        header.biHeight < 0 && header.biHeight != INT32_MIN ? -header.biHeight : header.biHeight;
    return video;
}

common::AudioFormat audioFormat(IAVIStream* stream, const AVISTREAMINFOW& info) {
    common::AudioFormat audio;
    audio.rate = info.dwRate;
    audio.scale = info.dwScale;
    audio.length = info.dwLength;
    const auto format = streamFormat(stream, sizeof(PCMWAVEFORMAT));
    if (format.empty()) return audio;
    PCMWAVEFORMAT wave;
    std::memcpy(&wave, format.data(), sizeof wave);
    audio.formatTag = wave.wf.wFormatTag;
    audio.channels = wave.wf.nChannels;
    audio.samplesPerSecond = wave.wf.nSamplesPerSec;
    audio.bitsPerSample = wave.wBitsPerSample;
    return audio;
}

}  // namespace

AviReader::AviReader() {
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comStarted_ = SUCCEEDED(started);
    if (!aviLibrary().complete()) return;
    aviLibrary().fileInit();
    libraryStarted_ = true;
    CoGetClassObject(kAviFileHandler, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                     reinterpret_cast<void**>(factory_.put()));
}

AviReader::~AviReader() {
    factory_.reset();
    if (libraryStarted_) aviLibrary().fileExit();
    if (comStarted_) CoUninitialize();
}

std::optional<common::MovieInfo> AviReader::read(const std::wstring& path) const {
    if (!factory_ || !hasSoundLayout(path)) return std::nullopt;
    ComPtr<IPersistFile> file;
    if (FAILED(factory_->CreateInstance(nullptr, IID_IPersistFile,
                                        reinterpret_cast<void**>(file.put()))) ||
        FAILED(file->Load(path.c_str(), OF_READ | OF_SHARE_DENY_NONE)))
        return std::nullopt;
    ComPtr<IAVIFile> avi;
    if (FAILED(file->QueryInterface(kAviFileInterface, reinterpret_cast<void**>(avi.put()))))
        return std::nullopt;

    common::MovieInfo movie;
    for (LONG i = 0; !movie.video || !movie.audio; ++i) {
        ComPtr<IAVIStream> stream;
        if (aviLibrary().fileGetStream(avi.get(), stream.put(), 0, i) != 0) break;
        AVISTREAMINFOW info{};
        if (aviLibrary().streamInfo(stream.get(), &info, sizeof info) != 0) continue;
        if (info.fccType == streamtypeVIDEO && !movie.video)
            movie.video = videoFormat(stream.get(), info);
        else if (info.fccType == streamtypeAUDIO && !movie.audio)
            movie.audio = audioFormat(stream.get(), info);
    }
    return movie;
}

}  // namespace win
