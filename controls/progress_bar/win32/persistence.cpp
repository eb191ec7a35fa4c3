#include "persistence.h"

#include <olectl.h>

#include <cstring>
#include <new>

#include "gdi_surface.h"
#include "picture_bytes.h"
#include "win32/handles.h"

namespace gaugekit {
namespace {

// "GKPB", then the record format's version.
constexpr std::uint32_t kMagic = 0x42504B47;
constexpr std::uint32_t kFormat = 1;
// Far more than any entry holds; a larger length means a damaged stream.
constexpr std::uint32_t kMaxText = 1 << 16;

// kBitmap: a bitmap picture as its pixels; kPicture: any other picture through its own
// persistence.
enum Tag : std::uint8_t { kNone, kInt32, kDouble, kBool, kText, kFont, kPicture, kBitmap };
// Bitmaps beyond this many pixels are not kept in a stream.
constexpr std::uint64_t kMaxPixels = 1u << 26;

std::wstring wide(std::string_view text) {
    std::wstring result;
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return result;
    result.resize(static_cast<size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        length);
    return result;
}

std::string narrow(const wchar_t* text, UINT length) {
    std::string result;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    if (bytes <= 0) return result;
    result.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), result.data(), bytes, nullptr,
                        nullptr);
    return result;
}

// The object behind a font or picture value, as the interface given.
HRESULT objectOf(const PropertyValue& value, REFIID riid, void** out) {
    *out = nullptr;
    if (const auto* font = std::get_if<FontRef>(&value)) {
        const auto* gdi = dynamic_cast<const GdiFont*>(font->get());
        if (gdi && gdi->font()) return gdi->font()->QueryInterface(riid, out);
    } else if (const auto* picture = std::get_if<PictureRef>(&value)) {
        const auto* gdi = dynamic_cast<const GdiPicture*>(picture->get());
        if (gdi && gdi->picture()) return gdi->picture()->QueryInterface(riid, out);
    }
    return S_FALSE;  // no object: an empty font or picture reference
}

Status fromObject(IUnknown* object, PropertyValue& value) {
    value = PropertyValue();
    if (!object) return Status::ok;
    try {
        win::ComPtr<IFont> font;
        if (SUCCEEDED(object->QueryInterface(IID_IFont, reinterpret_cast<void**>(font.put())))) {
            value = FontRef(std::make_shared<GdiFont>(font.get()));
            return Status::ok;
        }
        win::ComPtr<IPicture> picture;
        if (SUCCEEDED(
                object->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.put())))) {
            value = PictureRef(std::make_shared<GdiPicture>(picture.get()));
            return Status::ok;
        }
    } catch (const std::bad_alloc&) {
        return Status::outOfMemory;
    }
    return Status::typeMismatch;
}

Status put(IStream* stream, const void* data, ULONG size) {
    ULONG written = 0;
    return SUCCEEDED(stream->Write(data, size, &written)) && written == size ? Status::ok
                                                                             : Status::storeFailed;
}

Status get(IStream* stream, void* data, ULONG size) {
    ULONG got = 0;
    return SUCCEEDED(stream->Read(data, size, &got)) && got == size ? Status::ok
                                                                    : Status::storeFailed;
}

// The bytes left to read, or the most there could be when the stream cannot tell.
std::uint64_t remaining(IStream* stream) {
    LARGE_INTEGER none{};
    ULARGE_INTEGER at{};
    STATSTG stat{};
    if (FAILED(stream->Seek(none, STREAM_SEEK_CUR, &at)) ||
        FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart < at.QuadPart)
        return UINT64_MAX;
    return stat.cbSize.QuadPart - at.QuadPart;
}

template <typename T>
Status putValue(IStream* stream, T value) {
    return put(stream, &value, sizeof(value));
}
template <typename T>
Status getValue(IStream* stream, T& value) {
    return get(stream, &value, sizeof(value));
}

Status putText(IStream* stream, std::string_view text) {
    if (text.size() > kMaxText) return Status::storeFailed;
    if (const Status s = putValue(stream, static_cast<std::uint32_t>(text.size())); s != Status::ok)
        return s;
    return put(stream, text.data(), static_cast<ULONG>(text.size()));
}

Status getText(IStream* stream, std::string& text) {
    std::uint32_t size = 0;
    if (const Status s = getValue(stream, size); s != Status::ok) return s;
    if (size > kMaxText) return Status::storeFailed;
    try {
        text.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return Status::outOfMemory;
    }
    return get(stream, text.data(), size);
}

// A bitmap as its width, height and 32-bit pixels, top row first. The picture object's own
// persistence is not used for bitmaps: not every runtime reads back what it writes for them.
Status putBitmap(IStream* stream, HBITMAP bitmap) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0 ||
        static_cast<std::uint64_t>(info.bmWidth) * static_cast<std::uint64_t>(info.bmHeight) >
            kMaxPixels)
        return Status::storeFailed;
    std::vector<std::uint32_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    } catch (const std::bad_alloc&) {
        return Status::outOfMemory;
    }
    const win::WindowDc screen(nullptr);
    if (!readPixels(screen.get(), bitmap, info.bmWidth, info.bmHeight, pixels.data()))
        return Status::storeFailed;
    if (const Status s = putValue(stream, kBitmap); s != Status::ok) return s;
    if (const Status s = putValue(stream, static_cast<std::int32_t>(info.bmWidth)); s != Status::ok)
        return s;
    if (const Status s = putValue(stream, static_cast<std::int32_t>(info.bmHeight));
        s != Status::ok)
        return s;
    return put(stream, pixels.data(), static_cast<ULONG>(pixels.size() * sizeof(std::uint32_t)));
}

Status getBitmap(IStream* stream, PropertyValue& value) {
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (getValue(stream, width) != Status::ok || getValue(stream, height) != Status::ok)
        return Status::storeFailed;
    // Sizes the bytes cannot hold are damage: refused before anything is allocated.
    if (width <= 0 || height <= 0 ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4 >
            remaining(stream))
        return Status::invalidPicture;
    std::vector<std::uint32_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        return Status::outOfMemory;
    }
    if (const Status s =
            get(stream, pixels.data(), static_cast<ULONG>(pixels.size() * sizeof(std::uint32_t)));
        s != Status::ok)
        return s;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    const HDC screen = GetDC(nullptr);
    win::Bitmap bitmap(CreateCompatibleBitmap(screen, width, height));
    const bool filled = bitmap && SetDIBits(screen, bitmap.get(), 0, static_cast<UINT>(height),
                                            pixels.data(), &header, DIB_RGB_COLORS) == height;
    ReleaseDC(nullptr, screen);
    if (!filled) return Status::storeFailed;
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = bitmap.get();
    win::ComPtr<IPicture> picture;
    if (FAILED(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE,
                                        reinterpret_cast<void**>(picture.put()))))
        return Status::outOfMemory;
    bitmap.release();  // the picture owns it now
    return fromObject(picture.get(), value);
}

Status putEntry(IStream* stream, const std::string& key, const PropertyValue& value) {
    if (const Status s = putText(stream, key); s != Status::ok) return s;
    if (std::holds_alternative<FontRef>(value) || std::holds_alternative<PictureRef>(value)) {
        win::ComPtr<IPersistStream> persist;
        const HRESULT hr =
            objectOf(value, IID_IPersistStream, reinterpret_cast<void**>(persist.put()));
        if (FAILED(hr)) return Status::typeMismatch;
        if (!persist) return putValue(stream, kNone);
        if (const auto* picture = std::get_if<PictureRef>(&value)) {
            const auto* gdi = dynamic_cast<const GdiPicture*>(picture->get());
            if (const HBITMAP bitmap = gdi ? gdi->bitmap() : nullptr)
                return putBitmap(stream, bitmap);
        }
        const Tag tag = std::holds_alternative<FontRef>(value) ? kFont : kPicture;
        if (const Status s = putValue(stream, tag); s != Status::ok) return s;
        // The object writes its class first, so that loading can create it again.
        return SUCCEEDED(OleSaveToStream(persist.get(), stream)) ? Status::ok : Status::storeFailed;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        if (const Status s = putValue(stream, kInt32); s != Status::ok) return s;
        return putValue(stream, *number);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        if (const Status s = putValue(stream, kDouble); s != Status::ok) return s;
        return putValue(stream, *real);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        if (const Status s = putValue(stream, kBool); s != Status::ok) return s;
        return putValue(stream, static_cast<std::uint8_t>(*flag ? 1 : 0));
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        if (const Status s = putValue(stream, kText); s != Status::ok) return s;
        return putText(stream, *text);
    }
    return putValue(stream, kNone);
}

// A standard font or picture as its class and its own saved bytes. Only those two classes are
// created: a stream naming any other would have the host load whatever that class is. A
// picture's bytes are checked against their headers before the system's loader sees them.
Status getObject(IStream* stream, REFCLSID expected, PropertyValue& value) {
    CLSID clsid{};
    if (const Status s = getValue(stream, clsid); s != Status::ok) return s;
    const bool picture = IsEqualCLSID(expected, CLSID_StdPicture) != FALSE;
    if (!IsEqualCLSID(clsid, expected))
        return picture ? Status::invalidPicture : Status::typeMismatch;
    win::ComPtr<IStream> checked;
    if (picture) {
        // "lt", the byte count, then the picture file's image.
        std::uint32_t magic = 0, size = 0;
        if (getValue(stream, magic) != Status::ok || getValue(stream, size) != Status::ok)
            return Status::storeFailed;
        if (magic != 0x746C || size > remaining(stream) || size > kMaxText * 1024)
            return Status::invalidPicture;
        std::vector<std::uint8_t> bytes;
        try {
            bytes.resize(size);
        } catch (const std::bad_alloc&) {
            return Status::outOfMemory;
        }
        if (const Status s = get(stream, bytes.data(), size); s != Status::ok) return s;
        if (!pictureBytesConsistent(bytes.data(), bytes.size())) return Status::invalidPicture;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, checked.put())) ||
            put(checked.get(), &clsid, sizeof(clsid)) != Status::ok ||
            putValue(checked.get(), magic) != Status::ok ||
            putValue(checked.get(), size) != Status::ok ||
            put(checked.get(), bytes.data(), size) != Status::ok)
            return Status::outOfMemory;
        checked->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    } else {
        // The font reads a bounded record of its own after its class.
        LARGE_INTEGER back{};
        back.QuadPart = -static_cast<LONGLONG>(sizeof(clsid));
        if (FAILED(stream->Seek(back, STREAM_SEEK_CUR, nullptr))) return Status::storeFailed;
    }
    win::ComPtr<IUnknown> object;
    if (FAILED(OleLoadFromStream(checked ? checked.get() : stream, IID_IUnknown,
                                 reinterpret_cast<void**>(object.put()))))
        return picture ? Status::invalidPicture : Status::storeFailed;
    const Status s = fromObject(object.get(), value);
    if (s == Status::ok && picture != std::holds_alternative<PictureRef>(value))
        return Status::typeMismatch;
    return s;
}

Status getEntry(IStream* stream, std::string& key, PropertyValue& value) {
    if (const Status s = getText(stream, key); s != Status::ok) return s;
    Tag tag = kNone;
    if (const Status s = getValue(stream, tag); s != Status::ok) return s;
    switch (tag) {
        case kNone:
            value = PropertyValue();
            return Status::ok;
        case kInt32: {
            std::int32_t number = 0;
            const Status s = getValue(stream, number);
            value = number;
            return s;
        }
        case kDouble: {
            double real = 0;
            const Status s = getValue(stream, real);
            value = real;
            return s;
        }
        case kBool: {
            std::uint8_t flag = 0;
            const Status s = getValue(stream, flag);
            value = flag != 0;
            return s;
        }
        case kText: {
            std::string text;
            const Status s = getText(stream, text);
            value = std::move(text);
            return s;
        }
        case kBitmap:
            return getBitmap(stream, value);
        case kFont:
            return getObject(stream, CLSID_StdFont, value);
        case kPicture:
            return getObject(stream, CLSID_StdPicture, value);
    }
    return Status::storeFailed;
}

}  // namespace

Status toVariant(const PropertyValue& value, VARIANT& out) {
    VariantInit(&out);
    if (std::holds_alternative<std::monostate>(value)) return Status::ok;
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        out.vt = VT_I4;
        out.lVal = *number;
    } else if (const auto* real = std::get_if<double>(&value)) {
        out.vt = VT_R8;
        out.dblVal = *real;
    } else if (const auto* flag = std::get_if<bool>(&value)) {
        out.vt = VT_BOOL;
        out.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        const std::wstring w = wide(*text);
        out.bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        if (!out.bstrVal) return Status::outOfMemory;
        out.vt = VT_BSTR;
    } else {
        IDispatch* object = nullptr;
        if (FAILED(objectOf(value, IID_IDispatch, reinterpret_cast<void**>(&object))))
            return Status::typeMismatch;
        out.vt = VT_DISPATCH;
        out.pdispVal = object;
    }
    return Status::ok;
}

Status fromVariant(const VARIANT& in, PropertyValue& value) {
    switch (in.vt) {
        case VT_EMPTY:
        case VT_NULL:
            value = PropertyValue();
            return Status::ok;
        case VT_DISPATCH:
            return fromObject(in.pdispVal, value);
        case VT_UNKNOWN:
            return fromObject(in.punkVal, value);
        case VT_BOOL:
            value = in.boolVal != VARIANT_FALSE;
            return Status::ok;
        case VT_BSTR:
            try {
                value = narrow(in.bstrVal, SysStringLen(in.bstrVal));
            } catch (const std::bad_alloc&) {
                return Status::outOfMemory;
            }
            return Status::ok;
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_DECIMAL: {
            VARIANT real;
            VariantInit(&real);
            if (FAILED(VariantChangeType(&real, const_cast<VARIANT*>(&in), 0, VT_R8)))
                return Status::typeMismatch;
            value = real.dblVal;
            return Status::ok;
        }
        default: {
            VARIANT number;
            VariantInit(&number);
            const HRESULT hr = VariantChangeType(&number, const_cast<VARIANT*>(&in), 0, VT_I4);
            if (hr == DISP_E_OVERFLOW) return Status::overflow;
            if (FAILED(hr)) return Status::typeMismatch;
            value = static_cast<std::int32_t>(number.lVal);
            return Status::ok;
        }
    }
}

Status PropertyBagStore::write(std::string_view key, const PropertyValue& value,
                               const PropertyValue& defaultValue) {
    if (!saveAll_ && value == defaultValue) return Status::ok;
    VARIANT v;
    if (const Status s = toVariant(value, v); s != Status::ok) return s;
    const std::wstring name = wide(key);
    const HRESULT hr = bag_->Write(name.c_str(), &v);
    VariantClear(&v);
    return SUCCEEDED(hr) ? Status::ok : Status::storeFailed;
}

Status PropertyBagStore::read(std::string_view key, const PropertyValue& defaultValue,
                              PropertyValue& value) {
    VARIANT v;
    VariantInit(&v);
    const std::wstring name = wide(key);
    const HRESULT hr = bag_->Read(name.c_str(), &v, log_);
    if (hr == E_INVALIDARG) {  // the bag has no such entry
        value = defaultValue;
        return Status::ok;
    }
    if (FAILED(hr)) return Status::storeFailed;
    const Status s = fromVariant(v, value);
    VariantClear(&v);
    return s;
}

Status StreamStore::write(std::string_view key, const PropertyValue& value, const PropertyValue&) {
    try {
        entries_.emplace_back(std::string(key), value);
    } catch (const std::bad_alloc&) {
        return Status::outOfMemory;
    }
    return Status::ok;
}

Status StreamStore::read(std::string_view key, const PropertyValue& defaultValue,
                         PropertyValue& value) {
    if (failed_ != Status::ok && key == failedKey_) return failed_;
    for (const auto& [name, stored] : entries_) {
        if (name != key) continue;
        value = stored;
        return Status::ok;
    }
    value = defaultValue;
    return Status::ok;
}

Status StreamStore::saveTo(IStream* stream) const {
    if (const Status s = putValue(stream, kMagic); s != Status::ok) return s;
    if (const Status s = putValue(stream, kFormat); s != Status::ok) return s;
    if (const Status s = putValue(stream, static_cast<std::uint32_t>(entries_.size()));
        s != Status::ok)
        return s;
    for (const auto& [key, value] : entries_)
        if (const Status s = putEntry(stream, key, value); s != Status::ok) return s;
    return Status::ok;
}

Status StreamStore::loadFrom(IStream* stream) {
    std::uint32_t magic = 0;
    std::uint32_t format = 0;
    std::uint32_t count = 0;
    if (getValue(stream, magic) != Status::ok || magic != kMagic ||
        getValue(stream, format) != Status::ok || format != kFormat ||
        getValue(stream, count) != Status::ok || count > 256)
        return Status::storeFailed;
    std::vector<std::pair<std::string, PropertyValue>> entries;
    std::string failedKey;
    Status failed = Status::ok;
    try {
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string key;
            PropertyValue value;
            if (const Status s = getEntry(stream, key, value); s != Status::ok) {
                // A damaged picture fails its own entry, where the load stops; damage anywhere
                // else fails the whole record.
                if (s != Status::invalidPicture) return s;
                failedKey = std::move(key);
                failed = s;
                break;
            }
            entries.emplace_back(std::move(key), std::move(value));
        }
    } catch (const std::bad_alloc&) {
        return Status::outOfMemory;
    }
    entries_ = std::move(entries);
    failedKey_ = std::move(failedKey);
    failed_ = failed;
    return Status::ok;
}

}  // namespace gaugekit
