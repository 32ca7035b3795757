#pragma once
// The font a dialog template names may lack the glyphs of its own texts on
// the system it runs on: a Japanese dialog on an English Windows without the
// Japanese supplemental fonts, where "ＭＳ Ｐゴシック" maps to a Latin font and
// every character shows as a box. Such a template is shown in a font the
// system has for those texts instead; a template whose font shows them is
// used as it is.

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

// The face a template should be shown in: designed when a font made for it
// has a glyph for every character of sample, otherwise the first face the
// system has that does (a Japanese user-interface font, then any font of
// the Japanese character set, proportional first); designed when none has.
std::wstring FaceShowing(const std::wstring& designed, const std::wstring& sample);

// A classic dialog template (DLGTEMPLATE with DS_SETFONT) read from bytes:
// its caption and font face, and a copy with another face. Empty values for
// bytes that are no such template (an extended one among them).
struct DialogTemplateFont {
    std::wstring caption;
    std::wstring face;
};
bool ReadTemplateFont(const std::vector<BYTE>& tmpl, DialogTemplateFont& out);
std::vector<BYTE> WithFace(const std::vector<BYTE>& tmpl, const std::wstring& face);

}  // namespace platform
