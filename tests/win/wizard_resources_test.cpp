// The resources of SETUP.EXE as built: page templates, strings, banner,
// icon, version information and manifest, read back from the program file.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/handle.h"

namespace {

std::wstring W(const char* utf8) {
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
    return w;
}

// SETUP.EXE beside this test program, opened as data.
class SetupExe {
public:
    SetupExe() {
        char self[MAX_PATH] = {};
        DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string path(self, n);
        path = path.substr(0, path.find_last_of('\\') + 1) + "SETUP.EXE";
        m_path = path;
        m_module.reset(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    }

    HMODULE module() const { return m_module.get(); }
    const std::string& path() const { return m_path; }

    // The bytes of a Japanese resource; empty when missing.
    std::vector<uint8_t> Resource(LPCSTR type, unsigned id) const {
        HRSRC r = ::FindResourceExA(m_module.get(), type, MAKEINTRESOURCEA(id), MAKELANGID(0x11, 0x01));
        if (!r) return {};
        HGLOBAL g = ::LoadResource(m_module.get(), r);
        auto* p = static_cast<const uint8_t*>(::LockResource(g));
        DWORD size = ::SizeofResource(m_module.get(), r);
        if (!p) return {};
        return std::vector<uint8_t>(p, p + size);
    }

private:
    std::string m_path;
    platform::Module m_module;
};

// Bounds-checked little-endian reads over a resource; a read past the end
// sets the failure flag and yields zeros.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : m_b(bytes) {}
    bool failed() const { return m_failed; }
    size_t pos() const { return m_pos; }
    bool Need(size_t n) {
        if (m_failed || n > m_b.size() - m_pos) m_failed = true;
        return !m_failed;
    }
    uint16_t U16() {
        if (!Need(2)) return 0;
        uint16_t v = static_cast<uint16_t>(m_b[m_pos] | m_b[m_pos + 1] << 8);
        m_pos += 2;
        return v;
    }
    uint32_t U32() {
        uint32_t lo = U16();
        return lo | static_cast<uint32_t>(U16()) << 16;
    }
    int16_t S16() { return static_cast<int16_t>(U16()); }
    std::wstring Str() {
        std::wstring s;
        for (uint16_t c = U16(); c != 0 && !m_failed; c = U16()) s += static_cast<wchar_t>(c);
        return s;
    }
    // 0x0000: none; 0xFFFF then an ordinal; else a string.
    std::wstring SzOrOrd(uint16_t& ordinal) {
        ordinal = 0;
        if (!Need(2)) return {};
        uint16_t first = static_cast<uint16_t>(m_b[m_pos] | m_b[m_pos + 1] << 8);
        if (first == 0xFFFF) {
            U16();
            ordinal = U16();
            return {};
        }
        return Str();
    }
    void Skip(size_t n) {
        if (Need(n)) m_pos += n;
    }
    void AlignDword() { Skip((4 - m_pos % 4) % 4); }

private:
    const std::vector<uint8_t>& m_b;
    size_t m_pos = 0;
    bool m_failed = false;
};

struct Item {
    uint32_t style, exStyle;
    int x, y, cx, cy;
    uint16_t id;
    uint16_t classOrdinal;
    std::wstring className;
    std::wstring text;
};

struct Dialog {
    uint32_t style, exStyle;
    int cx, cy;
    uint16_t menuOrdinal, classOrdinal;
    std::wstring menu, className, caption;
    uint16_t pointSize;
    std::wstring face;
    std::vector<Item> items;
};

// A classic dialog template (little-endian, WORD-aligned):
//   DWORD style, DWORD exStyle, WORD item count, short x, y, cx, cy;
//   menu, then window class: 0x0000 none | 0xFFFF + WORD ordinal | UTF-16Z;
//   caption: UTF-16Z;
//   with DS_SETFONT: WORD point size, face name UTF-16Z.
// Then the items, each on a DWORD boundary:
//   DWORD style, DWORD exStyle, short x, y, cx, cy, WORD id;
//   class: 0xFFFF + WORD ordinal (0x0082 static, ...) | UTF-16Z;
//   text: 0xFFFF + WORD ordinal | UTF-16Z;
//   WORD count of creation bytes, then those bytes.
bool ParseDialog(const std::vector<uint8_t>& bytes, Dialog& d) {
    Reader r(bytes);
    d.style = r.U32();
    d.exStyle = r.U32();
    uint16_t count = r.U16();
    r.S16();
    r.S16();
    d.cx = r.S16();
    d.cy = r.S16();
    d.menu = r.SzOrOrd(d.menuOrdinal);
    d.className = r.SzOrOrd(d.classOrdinal);
    d.caption = r.Str();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.U16();
        d.face = r.Str();
    }
    for (uint16_t i = 0; i < count && !r.failed(); ++i) {
        r.AlignDword();
        Item it{};
        it.style = r.U32();
        it.exStyle = r.U32();
        it.x = r.S16();
        it.y = r.S16();
        it.cx = r.S16();
        it.cy = r.S16();
        it.id = r.U16();
        it.className = r.SzOrOrd(it.classOrdinal);
        uint16_t textOrdinal = 0;
        it.text = r.SzOrOrd(textOrdinal);
        r.Skip(r.U16());
        d.items.push_back(it);
    }
    return !r.failed();
}

struct ExpectedItem {
    uint16_t id;
    const char* className;  // nullptr: the predefined static class
    const char* text;
    uint32_t style;
    int x, y, cx, cy;
};

struct ExpectedDialog {
    unsigned id;
    int cy;
    std::vector<ExpectedItem> items;
};

const char kWelcome[] =
    "<PRODUCT_NAME> アップデートウィザードにようこそ !!\n\n"
    "このプログラムは、コンピュータにインストールされている\n"
    "<PRODUCT_NAME> のバージョンを、 <PRODUCT_VERSION> に更新します。\n\n"
    "[次へ]をクリックすると、インストールが開始されます。";

TEST(WizardResources, PageTemplatesAsLaidOut) {
    SetupExe exe;
    ASSERT_NE(exe.module(), nullptr) << exe.path();
    const std::vector<ExpectedDialog> dialogs = {
        {107, 156, {{0xFFFF, nullptr, kWelcome, 0x50020000, 20, 63, 230, 56}}},
        {108, 160,
         {{1000, nullptr, "IDC_TEXT1", 0x50020000, 20, 62, 230, 12},
          {1001, nullptr, "IDC_TEXT2", 0x50020000, 20, 81, 230, 20},
          {1002, "msctls_progress32", "Progress1", 0x50800001, 20, 110, 230, 15}}},
        {109, 160, {{1000, nullptr, "IDC_TEXT1", 0x50020000, 20, 62, 230, 63}}},
    };
    for (const ExpectedDialog& want : dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(want.id));
        std::vector<uint8_t> bytes = exe.Resource(RT_DIALOG, want.id);
        ASSERT_FALSE(bytes.empty());
        // Not the extended form (which starts with 1, 0xFFFF).
        ASSERT_FALSE(bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF &&
                     bytes[3] == 0xFF);
        Dialog d;
        ASSERT_TRUE(ParseDialog(bytes, d));
        EXPECT_EQ(d.style, 0x48C00040u);
        EXPECT_EQ(d.exStyle, 0u);
        EXPECT_EQ(d.cx, 271);
        EXPECT_EQ(d.cy, want.cy);
        EXPECT_TRUE(d.menu.empty() && d.menuOrdinal == 0);
        EXPECT_TRUE(d.className.empty() && d.classOrdinal == 0);
        EXPECT_EQ(d.caption, W("アップデートウィザード"));
        EXPECT_EQ(d.pointSize, 9);
        EXPECT_EQ(d.face, W("ＭＳ Ｐゴシック"));
        ASSERT_EQ(d.items.size(), want.items.size());
        for (size_t i = 0; i < want.items.size(); ++i) {
            const Item& got = d.items[i];
            const ExpectedItem& w = want.items[i];
            SCOPED_TRACE("item " + std::to_string(i));
            EXPECT_EQ(got.id, w.id);
            if (w.className) {
                // Window class names are matched without case (and windres
                // writes them in capitals).
                EXPECT_EQ(::lstrcmpiW(got.className.c_str(), W(w.className).c_str()), 0)
                    << "class";
            } else {
                EXPECT_EQ(got.classOrdinal, 0x0082);  // static
            }
            EXPECT_EQ(got.text, W(w.text));
            EXPECT_EQ(got.style, w.style);
            EXPECT_EQ(got.exStyle, 0u);
            EXPECT_EQ(got.x, w.x);
            EXPECT_EQ(got.y, w.y);
            EXPECT_EQ(got.cx, w.cx);
            EXPECT_EQ(got.cy, w.cy);
            // The band above y = 62 belongs to the banner.
            EXPECT_GE(got.y, 62);
        }
    }
}

TEST(WizardResources, StringTable) {
    SetupExe exe;
    ASSERT_NE(exe.module(), nullptr);
    const struct {
        unsigned id;
        const char* text;
    } strings[] = {
        {1, "<PRODUCT_NAME> アップデートウィザード"},
        {2, "セットアップの準備中..."},
        {3, "ファイルをコピーしています...\n%s"},
        {4, "<PRODUCT_NAME> のアップデートは正常に終了しました。"},
        {5, "<PRODUCT_NAME> のアップデートは正常に終了しませんでした。\n"
            "改めてセットアップを実行する必要があります。"},
        {6, "SETUP.INIが正しくありません。\n\n%s"},
        {7, "<PRODUCT_NAME> のアップデートは行われませんでした。"},
        {57344, "アップデートウィザード"},
    };
    for (const auto& s : strings) {
        const wchar_t* p = nullptr;
        int n = ::LoadStringW(exe.module(), s.id, reinterpret_cast<LPWSTR>(&p), 0);
        ASSERT_GT(n, 0) << s.id;
        EXPECT_EQ(std::wstring(p, static_cast<size_t>(n)), W(s.text)) << s.id;
    }
}

// A BITMAPINFOHEADER (40 bytes), the colour table (4 bytes an entry), then
// the rows, bottom-up, each padded to 4 bytes.
TEST(WizardResources, BannerBitmap) {
    SetupExe exe;
    std::vector<uint8_t> bytes = exe.Resource(RT_BITMAP, 131);
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes.data(), sizeof h);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 507);
    EXPECT_EQ(h.biHeight, 65);  // positive: bottom-up
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h.biXPelsPerMeter, 2834);
    EXPECT_EQ(h.biYPelsPerMeter, 2834);
    EXPECT_TRUE(h.biClrUsed == 256 || h.biClrUsed == 0);
    const size_t stride = (507 + 3) / 4 * 4;
    const size_t bitsAt = 40 + 256 * 4;
    ASSERT_EQ(bytes.size(), bitsAt + stride * 65);
    std::set<uint8_t> used;
    for (size_t y = 0; y < 65; ++y)
        for (size_t x = 0; x < 507; ++x) used.insert(bytes[bitsAt + y * stride + x]);
    EXPECT_EQ(used.size(), 256u) << "every colour table entry is used";
}

// The icon group: WORD 0, WORD 1, WORD count, then per image 14 bytes:
// BYTE width, height, colour count, 0; WORD planes, bit count;
// DWORD bytes; WORD id of the RT_ICON resource.
TEST(WizardResources, IconGroupHasTwoSixteenColourImages) {
    SetupExe exe;
    std::vector<uint8_t> group = exe.Resource(RT_GROUP_ICON, 128);
    Reader r(group);
    EXPECT_EQ(r.U16(), 0);
    EXPECT_EQ(r.U16(), 1);
    uint16_t count = r.U16();
    ASSERT_EQ(count, 2);
    std::set<int> sizes;
    for (int i = 0; i < count; ++i) {
        r.Need(4);
        int w = group[r.pos()], hgt = group[r.pos() + 1], colours = group[r.pos() + 2];
        r.Skip(4);
        r.U16();
        EXPECT_EQ(r.U16(), 4);  // bits per pixel
        r.U32();
        uint16_t id = r.U16();
        ASSERT_FALSE(r.failed());
        EXPECT_EQ(w, hgt);
        EXPECT_EQ(colours, 16);
        sizes.insert(w);
        std::vector<uint8_t> image = exe.Resource(RT_ICON, id);
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER h;
        std::memcpy(&h, image.data(), sizeof h);
        EXPECT_EQ(h.biWidth, w);
        EXPECT_EQ(h.biHeight, 2 * w);  // colour rows and the mask
        EXPECT_EQ(h.biBitCount, 4);
        const size_t colourRows = static_cast<size_t>((w * 4 + 31) / 32 * 4) * w;
        const size_t maskRows = static_cast<size_t>((w + 31) / 32 * 4) * w;
        EXPECT_EQ(image.size(), 40 + 16 * 4 + colourRows + maskRows);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32}));
}

TEST(WizardResources, VersionInformation) {
    SetupExe exe;
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(exe.path().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(exe.path().c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000002u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000002u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &len));
    ASSERT_GE(len, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 1200);
    char* text = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\FileVersion",
                                 reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ(text, "2, 0, 0, 2");
}

TEST(WizardResources, ManifestAsksForAdministratorAndCommonControls6) {
    SetupExe exe;
    std::vector<uint8_t> bytes = exe.Resource(MAKEINTRESOURCEA(24), 1);
    if (bytes.empty()) {
        // windres writes the manifest under the neutral language.
        HRSRC r = ::FindResourceA(exe.module(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        ASSERT_NE(r, nullptr);
        auto* p = static_cast<const uint8_t*>(::LockResource(::LoadResource(exe.module(), r)));
        bytes.assign(p, p + ::SizeofResource(exe.module(), r));
    }
    std::string xml(bytes.begin(), bytes.end());
    for (const char* want : {
             "level=\"requireAdministrator\"",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10, 11
         })
        EXPECT_NE(xml.find(want), std::string::npos) << want;
}

// The display-scale settings as the system's loader reads them from the
// program's manifest (a misspelt namespace or element would be ignored).
TEST(WizardResources, ManifestDeclaresPerMonitorAwarenessWithSystemFallback) {
    SetupExe exe;
    std::wstring path(exe.path().begin(), exe.path().end());
    ACTCTXW actx = {};
    actx.cbSize = sizeof actx;
    actx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    actx.lpSource = path.c_str();
    actx.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE ctx = ::CreateActCtxW(&actx);
    ASSERT_NE(ctx, INVALID_HANDLE_VALUE) << ::GetLastError();
    auto setting = [&](const wchar_t* ns, const wchar_t* name) {
        wchar_t buf[128] = {};
        SIZE_T written = 0;
        if (!::QueryActCtxSettingsW(0, ctx, ns, name, buf, 128, &written)) return std::wstring();
        return std::wstring(buf);
    };
    // Windows 10 1607 and later read dpiAwareness, the first value they know;
    // earlier ones read dpiAware, where true is system-wide awareness.
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2, System");
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
              L"true");
    ::ReleaseActCtx(ctx);
}

}  // namespace
