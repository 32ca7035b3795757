#include "platform/dialog_font.h"

#include <cstring>

namespace platform {

namespace {

// Faces Windows has for Japanese user interfaces, best first.
const wchar_t* const kJapaneseUiFaces[] = {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic"};

bool Shows(HDC dc, const std::wstring& face, const std::wstring& sample) {
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    LOGFONTW lf{};
    lf.lfHeight = -12;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::memcpy(lf.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
    const HFONT font = ::CreateFontIndirectW(&lf);
    if (!font) return false;
    const HGDIOBJ old = ::SelectObject(dc, font);
    std::vector<WORD> glyphs(sample.size());
    const DWORD n = ::GetGlyphIndicesW(dc, sample.c_str(), static_cast<int>(sample.size()), glyphs.data(),
                                       GGI_MARK_NONEXISTING_GLYPHS);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    if (n != sample.size()) return false;
    for (WORD g : glyphs)
        if (g == 0xFFFF) return false;
    return true;
}

struct Found {
    std::vector<std::wstring> variable, fixed;
};

int CALLBACK Collect(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    if (lf->lfFaceName[0] == L'@') return 1;  // set for vertical writing
    ((lf->lfPitchAndFamily & 3) == FIXED_PITCH ? found->fixed : found->variable).push_back(lf->lfFaceName);
    return 1;
}

// Reads a sz_Or_Ord field at at; false past the end.
bool SkipNameOrOrdinal(const std::vector<BYTE>& t, std::size_t& at, std::wstring* text = nullptr) {
    if (at + 2 > t.size()) return false;
    WORD first;
    std::memcpy(&first, &t[at], 2);
    if (first == 0xFFFF) {
        at += 4;
        return at <= t.size();
    }
    for (;;) {
        if (at + 2 > t.size()) return false;
        WORD c;
        std::memcpy(&c, &t[at], 2);
        at += 2;
        if (c == 0) return true;
        if (text) *text += static_cast<wchar_t>(c);
    }
}

// The offsets of the face and of the first item of a classic template.
bool Layout(const std::vector<BYTE>& t, std::size_t& faceAt, std::size_t& itemsAt, DialogTemplateFont& font) {
    if (t.size() < 18) return false;
    DWORD style;
    std::memcpy(&style, t.data(), 4);
    WORD signature;
    std::memcpy(&signature, &t[2], 2);
    if (signature == 0xFFFF || !(style & DS_SETFONT)) return false;  // extended, or no font of its own
    std::size_t at = 18;
    if (!SkipNameOrOrdinal(t, at) || !SkipNameOrOrdinal(t, at) || !SkipNameOrOrdinal(t, at, &font.caption))
        return false;
    at += 2;  // the point size
    faceAt = at;
    if (!SkipNameOrOrdinal(t, at, &font.face)) return false;
    itemsAt = (at + 3) & ~std::size_t{3};
    return itemsAt <= t.size();
}

}  // namespace

std::wstring FaceShowing(const std::wstring& designed, const std::wstring& sample) {
    HDC dc = ::GetDC(nullptr);
    if (!dc) return designed;
    std::wstring face = designed;
    if (!Shows(dc, designed, sample)) {
        Found found;
        LOGFONTW lf{};
        lf.lfCharSet = SHIFTJIS_CHARSET;
        ::EnumFontFamiliesExW(dc, &lf, Collect, reinterpret_cast<LPARAM>(&found), 0);
        std::vector<std::wstring> candidates(std::begin(kJapaneseUiFaces), std::end(kJapaneseUiFaces));
        candidates.insert(candidates.end(), found.variable.begin(), found.variable.end());
        candidates.insert(candidates.end(), found.fixed.begin(), found.fixed.end());
        for (const std::wstring& c : candidates) {
            if (Shows(dc, c, sample)) {
                face = c;
                break;
            }
        }
    }
    ::ReleaseDC(nullptr, dc);
    return face;
}

bool ReadTemplateFont(const std::vector<BYTE>& tmpl, DialogTemplateFont& out) {
    std::size_t faceAt = 0, itemsAt = 0;
    out = DialogTemplateFont{};
    return Layout(tmpl, faceAt, itemsAt, out);
}

std::vector<BYTE> WithFace(const std::vector<BYTE>& tmpl, const std::wstring& face) {
    std::size_t faceAt = 0, itemsAt = 0;
    DialogTemplateFont font;
    if (!Layout(tmpl, faceAt, itemsAt, font)) return {};
    // The items keep their own alignment: they stay on a DWORD boundary.
    std::vector<BYTE> out(tmpl.begin(), tmpl.begin() + static_cast<std::ptrdiff_t>(faceAt));
    const auto* chars = reinterpret_cast<const BYTE*>(face.c_str());
    out.insert(out.end(), chars, chars + (face.size() + 1) * sizeof(wchar_t));
    out.resize((out.size() + 3) & ~std::size_t{3}, 0);
    out.insert(out.end(), tmpl.begin() + static_cast<std::ptrdiff_t>(itemsAt), tmpl.end());
    return out;
}

}  // namespace platform
