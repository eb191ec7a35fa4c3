// What gaugekit.dll carries for containers and designers: its resources and the type library
// that early-bound containers compile against, member by member.
#include <map>

#include "com_support.h"

namespace gaugekit::testing {
namespace {

TEST(Library, ResourcesHoldTheInterfaceIdsBitmapAndSelfRegisterMark) {
    const HMODULE module = LoadLibraryExW(dllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const auto resource = [module](const wchar_t* name, const wchar_t* type, DWORD& size) {
        const HRSRC found = FindResourceW(module, name, type);
        size = found ? SizeofResource(module, found) : 0;
        return found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found)))
                     : nullptr;
    };
    DWORD size = 0;
    for (const auto& [name, iid] : {std::pair{L"_IID_XP_PROGRESSBAR", &IID__XP_ProgressBar},
                                    std::pair{L"_SRCIID_XP_PROGRESSBAR", &DIID___XP_ProgressBar}}) {
        const BYTE* bytes = resource(name, MAKEINTRESOURCEW(10), size);  // RT_RCDATA
        ASSERT_EQ(size, 20u) << name;
        EXPECT_EQ(*reinterpret_cast<const DWORD*>(bytes), 16u);
        EXPECT_EQ(memcmp(bytes + 4, iid, 16), 0) << name;
    }
    const auto* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(
        resource(MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2), size));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ((std::tuple(bitmap->biWidth, bitmap->biHeight, bitmap->biBitCount)),
              (std::tuple(16, 15, 24)));
    FreeLibrary(module);

    DWORD ignored = 0;
    std::vector<BYTE> version(GetFileVersionInfoSizeW(dllPath().c_str(), &ignored));
    ASSERT_TRUE(GetFileVersionInfoW(dllPath().c_str(), 0, static_cast<DWORD>(version.size()),
                                    version.data()));
    void* mark = nullptr;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904B0\\OLESelfRegister",
                               &mark, &length));
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
}

TEST(Library, TypeLibraryDescribesTheControlInMemberOrder) {
    win::ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(dllPath().c_str(), REGKIND_NONE, library.put()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
    EXPECT_EQ((std::tuple(attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                          attr->wLibFlags & LIBFLAG_FCONTROL)),
              (std::tuple(1, 0, 0x409u, LIBFLAG_FCONTROL)));
    library->ReleaseTLibAttr(attr);

    // The library's name, then every type but the aliases as "name kind:member=value,member,..."
    // (functions in table order, with the parameter names of DrawGradient and the one help text).
    std::wstring types;
    const auto text = [&types](BSTR part) {
        types += part ? part : L"";
        SysFreeString(part);
    };
    BSTR name = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
    text(name);
    for (UINT t = 0; t < library->GetTypeInfoCount(); ++t) {
        win::ComPtr<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfo(t, info.put()), S_OK);
        TYPEATTR* type = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&type), S_OK);
        if (type->typekind == TKIND_ALIAS) {
            info->ReleaseTypeAttr(type);
            continue;
        }
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        types += L"\n";
        text(name);
        types += L" " + std::to_wstring(type->typekind) + L":";
        if (type->wTypeFlags & TYPEFLAG_FCONTROL) types += L"control ";
        if (type->wTypeFlags & TYPEFLAG_FDUAL) types += L"dual ";
        for (UINT v = 0; v < type->cVars; ++v) {
            VARDESC* var = nullptr;
            ASSERT_EQ(info->GetVarDesc(v, &var), S_OK);
            info->GetDocumentation(var->memid, &name, nullptr, nullptr, nullptr);
            text(name);
            types += L"=" + std::to_wstring(var->lpvarValue->lVal) + L",";
            info->ReleaseVarDesc(var);
        }
        // Through the dual interface's dispatch view, IUnknown and IDispatch come first.
        for (UINT f = type->typekind == TKIND_DISPATCH ? 7 : 0; f < type->cFuncs; ++f) {
            FUNCDESC* function = nullptr;
            ASSERT_EQ(info->GetFuncDesc(f, &function), S_OK);
            BSTR names[9] = {}, help = nullptr;
            UINT count = 0;
            info->GetNames(function->memid, names, 9, &count);
            for (UINT i = 0; i < count; ++i) {
                if (i == 0 || function->memid == 3)
                    types += std::wstring(i == 0 ? L"" : i == 1 ? L"(" : L" ") + names[i];
                SysFreeString(names[i]);
            }
            info->GetDocumentation(function->memid, nullptr, &help, nullptr, nullptr);
            if (help && *help) types += L" \"" + std::wstring(help) + L"\"";
            SysFreeString(help);
            types += L",";
            info->ReleaseFuncDesc(function);
        }
        info->ReleaseTypeAttr(type);
    }
    const std::wstring expected =
        L"Project1\n"
        L"_XP_ProgressBar 4:dual DrawProgressBar,DrawLine,"
        L"DrawGradient(lEndColor lStartcolor X Y X2 Y2 hdc bH,pDraw,BrushStyle,"
        L"Color \"Returns/sets the color of the ProgressBar\","
        L"Color \"Returns/sets the color of the ProgressBar\",Font,Font,Font,hwnd,hwnd,hdc,hdc,"
        L"Image,Image,Min,Min,Max,Max,Orientation,Orientation,Scrolling,Scrolling,ShowText,"
        L"ShowText,Value,Value,\n"
        L"BrushStyle 0:HS_HORIZONTAL=0,HS_VERTICAL=1,HS_FDIAGONAL=2,HS_BDIAGONAL=3,HS_CROSS=4,"
        L"HS_DIAGCROSS=5,HS_SOLID=6,\n"
        L"cOrientation 0:ccOrientationHorizontal=0,ccOrientationVertical=1,\n"
        L"cScrolling 0:ccScrollingStandard=0,ccScrollingSmooth=1,ccScrollingSearch=2,"
        L"ccScrollingOfficeXP=3,ccScrollingPastel=4,ccScrollingQuill=5,ccScrollingMediaPlayer=6,"
        L"ccScrollingCustomBrush=7,ccScrollingPicture=8,ccScrollingMetallic=9,\n"
        L"__XP_ProgressBar 4:\n"
        L"XP_ProgressBar 5:control ";
    EXPECT_EQ(types, expected);
}

}  // namespace
}  // namespace gaugekit::testing
