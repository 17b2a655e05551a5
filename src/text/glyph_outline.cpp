#include "text/glyph_outline.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <iconv.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <set>

#include "app/trace.h"

namespace velmora {

namespace {

bool EqualNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

// A face can stand in for a Japanese one only when it has kana and kanji.
bool HasJapanese(FcPattern* p) {
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(p, FC_CHARSET, 0, &cs) != FcResultMatch || !cs) return false;
    return FcCharSetHasChar(cs, 0x3042) && FcCharSetHasChar(cs, 0x30A2) && FcCharSetHasChar(cs, 0x6F22);
}

bool HasFamily(FcPattern* p, const std::string& family) {
    FcChar8* s = nullptr;
    for (int i = 0; FcPatternGetString(p, FC_FAMILY, i, &s) == FcResultMatch; ++i)
        if (EqualNoCase(family, reinterpret_cast<const char*>(s))) return true;
    return false;
}

FcPattern* MakePattern(const std::string& family, bool bold, bool japanese = true) {
    FcPattern* pat = FcPatternCreate();
    if (!family.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (japanese) FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    return pat;
}

void Describe(FcPattern* p, bool bold, ResolvedFace& out) {
    FcChar8* s = nullptr;
    out.file = FcPatternGetString(p, FC_FILE, 0, &s) == FcResultMatch ? reinterpret_cast<const char*>(s) : "";
    int index = 0;
    FcPatternGetInteger(p, FC_INDEX, 0, &index);
    out.index = index;
    out.family = FcPatternGetString(p, FC_FAMILY, 0, &s) == FcResultMatch ? reinterpret_cast<const char*>(s) : "";
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(p, FC_WEIGHT, 0, &weight);
    out.embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
}

// The installed face of exactly this family, with Japanese glyphs unless
// only Latin text is asked of it.
bool MatchExactly(const std::string& family, bool bold, ResolvedFace& out, bool latinOnly = false) {
    FcPattern* pat = MakePattern(family, bold, !latinOnly);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    bool ok = match && HasFamily(match, family) && (latinOnly || HasJapanese(match));
    if (ok) Describe(match, bold, out);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pat);
    return ok;
}

bool LooksMincho(const std::string& family) {
    if (family.find("明朝") != std::string::npos) return true;
    std::string lower = family;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c += 32;
    return lower.find("mincho") != std::string::npos || lower.find("serif") != std::string::npos;
}

// The best face with Japanese glyphs, serif or sans like the request.
bool MatchJapanese(const std::string& family, bool bold, ResolvedFace& out) {
    FcPattern* pat = MakePattern(LooksMincho(family) ? "serif" : "sans-serif", bold);
    FcResult result;
    FcFontSet* set = FcFontSort(nullptr, pat, FcFalse, nullptr, &result);
    bool ok = false;
    for (int i = 0; set && i < set->nfont && !ok; ++i) {
        if (!HasJapanese(set->fonts[i])) continue;
        FcPattern* ready = FcFontRenderPrepare(nullptr, pat, set->fonts[i]);
        if (!ready) continue;
        Describe(ready, bold, out);
        FcPatternDestroy(ready);
        ok = !out.file.empty();
    }
    if (set) FcFontSetDestroy(set);
    FcPatternDestroy(pat);
    return ok;
}

iconv_t OpenCodeConverter() { return iconv_open("UTF-32LE", "CP932"); }

uint32_t ConvertCode(iconv_t cd, uint16_t code) {
    if (cd == reinterpret_cast<iconv_t>(-1) || code == 0) return 0;
    char in[2];
    size_t inLeft;
    if (code < 0x100) {
        in[0] = static_cast<char>(code);
        inLeft = 1;
    } else {
        in[0] = static_cast<char>(code >> 8);
        in[1] = static_cast<char>(code & 0xFF);
        inLeft = 2;
    }
    unsigned char out[8] = {};
    char* src = in;
    char* dst = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    size_t r = iconv(cd, &src, &inLeft, &dst, &outLeft);
    if (r == static_cast<size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4) return 0;
    return out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24);
}

// Ascent and descent of a face in font units, as the Windows metrics give them.
void FontUnitsExtent(FT_Face face, long& ascent, long& descent) {
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = face->ascender;
        descent = -face->descender;
    }
}

}  // namespace

bool ResolveFace(const std::string& utf8Family, bool bold, ResolvedFace& out, bool latinOnly) {
    out = ResolvedFace();
    if (!utf8Family.empty() && MatchExactly(utf8Family, bold, out, latinOnly)) return true;
    if (const std::vector<std::string>* targets = WindowsFaceAlias(utf8Family))
        for (const std::string& t : *targets)
            if (MatchExactly(t, bold, out, latinOnly)) return true;
    if (latinOnly) {
        Trace("font: \"%s\" for one-byte text is not installed; the message font is used", utf8Family.c_str());
        return false;
    }
    if (!MatchJapanese(utf8Family, bold, out)) {
        Trace("font: no installed face has Japanese glyphs; text will not be drawn");
        return false;
    }
    out.fallback = true;
    Trace("font: \"%s\" is not installed; using \"%s\"", utf8Family.c_str(), out.family.c_str());
    return true;
}

std::vector<std::string> InstalledFontFamilies(bool japaneseOnly) {
    FcPattern* pat = FcPatternCreate();
    if (japaneseOnly) {
        FcLangSet* ls = FcLangSetCreate();
        FcLangSetAdd(ls, reinterpret_cast<const FcChar8*>("ja"));
        FcPatternAddLangSet(pat, FC_LANG, ls);
        FcLangSetDestroy(ls);
    }
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    std::set<std::string> names;
    for (int i = 0; set && i < set->nfont; ++i) {
        if (japaneseOnly && !HasJapanese(set->fonts[i])) continue;
        // Every name the face goes by: Japanese faces carry their Japanese
        // family name ("IPAゴシック") beside the Latin one.
        FcChar8* s = nullptr;
        for (int k = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, k, &s) == FcResultMatch; ++k)
            names.insert(reinterpret_cast<const char*>(s));
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return std::vector<std::string>(names.begin(), names.end());
}

std::vector<std::string> FamilyNames(const std::string& utf8Family) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8Family.c_str()));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    std::set<std::string> names;
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* s = nullptr;
        for (int k = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, k, &s) == FcResultMatch; ++k)
            names.insert(reinterpret_cast<const char*>(s));
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return std::vector<std::string>(names.begin(), names.end());
}

uint32_t Cp932CodeToUnicode(uint16_t code) {
    iconv_t cd = OpenCodeConverter();
    uint32_t cp = ConvertCode(cd, code);
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    return cp;
}

struct OutlineFont::Impl {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    int ascent = 0;
    int descent = 0;

    ~Impl() {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

OutlineFont::OutlineFont() = default;
OutlineFont::~OutlineFont() = default;

bool OutlineFont::Open(const FontRequest& request) {
    impl_.reset();
    request_ = request;
    face_ = ResolvedFace();
    ResolvedFace face;
    if (!ResolveFace(request.family, request.bold, face, request.latinOnly)) return false;
    auto impl = std::make_unique<Impl>();
    if (FT_Init_FreeType(&impl->lib) != 0) return false;
    if (FT_New_Face(impl->lib, face.file.c_str(), face.index, &impl->face) != 0) {
        Trace("font: FreeType cannot open %s", face.file.c_str());
        return false;
    }
    FT_Select_Charmap(impl->face, FT_ENCODING_UNICODE);
    // Fontconfig reports the weight it was asked for when it would synthesise
    // bold; the face itself says whether it is bold.
    if (request.bold) {
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(impl->face, FT_SFNT_OS2));
        bool boldFace = (impl->face->style_flags & FT_STYLE_FLAG_BOLD) || (os2 && os2->usWeightClass >= 600);
        face.embolden = !boldFace;
    }
    impl->cd = OpenCodeConverter();
    impl_ = std::move(impl);
    face_ = face;
    SetPointSize(request.pointSize);
    return true;
}

bool OutlineFont::IsOpen() const { return impl_ != nullptr; }

void OutlineFont::SetPointSize(int pointSize) {
    request_.pointSize = pointSize;
    if (!impl_) return;
    FT_Face face = impl_->face;
    long unitsAscent, unitsDescent;
    FontUnitsExtent(face, unitsAscent, unitsDescent);
    if (request_.cellHeight > 0 && unitsAscent + unitsDescent > 0) {
        // A height given in pixels is the whole cell, as Windows reads it.
        FT_F26Dot6 em = static_cast<FT_F26Dot6>(request_.cellHeight) * 64 * face->units_per_EM /
                        (unitsAscent + unitsDescent);
        FT_Set_Char_Size(face, 0, std::max<FT_F26Dot6>(em, 64), 72, 72);
    } else {
        FT_Set_Char_Size(face, 0, std::max(pointSize, 1) * 64, 96, 96);
    }
    FT_Fixed scale = face->size->metrics.y_scale;
    impl_->ascent = static_cast<int>((FT_MulFix(unitsAscent, scale) + 63) >> 6);
    impl_->descent = static_cast<int>((FT_MulFix(unitsDescent, scale) + 63) >> 6);
}

int OutlineFont::Ascent() const { return impl_ ? impl_->ascent : 0; }
int OutlineFont::Descent() const { return impl_ ? impl_->descent : 0; }

int64_t OutlineFont::RenderGlyph(uint16_t code, GlyphBitmap& out) {
    out = GlyphBitmap();
    if (!impl_) return -1;
    uint32_t cp = ConvertCode(impl_->cd, code);
    if (cp == 0) return -1;
    FT_Face face = impl_->face;
    FT_UInt index = FT_Get_Char_Index(face, cp);
    if (index == 0) return -1;
    const bool aa = request_.antialias;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | (aa ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO)) != 0)
        return -1;
    FT_GlyphSlot slot = face->glyph;
    if (face_.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, aa ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) return -1;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.width == 0 || bm.rows == 0) return 0;
    out.blackBoxX = static_cast<int>(bm.width);
    out.blackBoxY = static_cast<int>(bm.rows);
    out.originX = slot->bitmap_left;
    out.originY = slot->bitmap_top;
    out.pitch = (out.blackBoxX + 3) & ~3;
    out.levels.assign(out.Size(), 0);
    for (int r = 0; r < out.blackBoxY; ++r) {
        const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
        uint8_t* dst = out.levels.data() + static_cast<size_t>(r) * out.pitch;
        for (int c = 0; c < out.blackBoxX; ++c) {
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                dst[c] = (src[c >> 3] & (0x80 >> (c & 7))) ? 64 : 0;
            } else {
                int grays = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
                dst[c] = static_cast<uint8_t>((src[c] * 64 + grays / 2) / grays);
            }
        }
    }
    return out.Size();
}

int OutlineFont::Advance(uint16_t code) {
    if (!impl_) return -1;
    uint32_t cp = ConvertCode(impl_->cd, code);
    FT_UInt index = cp ? FT_Get_Char_Index(impl_->face, cp) : 0;
    if (index == 0) return -1;
    const FT_Int32 load = FT_LOAD_DEFAULT | (request_.antialias ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
    if (FT_Load_Glyph(impl_->face, index, load) != 0) return -1;
    FT_GlyphSlot slot = impl_->face->glyph;
    if (face_.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Embolden(slot);
    return static_cast<int>((slot->advance.x + 32) >> 6);
}

int OutlineFont::Kerning(uint16_t left, uint16_t right) {
    if (!impl_ || !FT_HAS_KERNING(impl_->face)) return 0;
    uint32_t a = ConvertCode(impl_->cd, left), b = ConvertCode(impl_->cd, right);
    FT_UInt ia = a ? FT_Get_Char_Index(impl_->face, a) : 0, ib = b ? FT_Get_Char_Index(impl_->face, b) : 0;
    if (ia == 0 || ib == 0) return 0;
    FT_Vector k{};
    if (FT_Get_Kerning(impl_->face, ia, ib, FT_KERNING_DEFAULT, &k) != 0) return 0;
    return static_cast<int>((k.x + 32) >> 6);
}

int OutlineFont::DrawText(Picture& picture, int x, int y, const std::string& cp932, uint32_t colour) {
    if (!impl_ || cp932.empty()) return x;
    const uint8_t bgr[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour)};
    FT_Face face = impl_->face;
    int pen = x;
    const int baseline = y + impl_->ascent;
    for (size_t i = 0; i < cp932.size(); ++i) {
        uint16_t code = static_cast<uint8_t>(cp932[i]);
        if (((code >= 0x81 && code <= 0x9F) || (code >= 0xE0 && code <= 0xFC)) && i + 1 < cp932.size())
            code = static_cast<uint16_t>(code << 8 | static_cast<uint8_t>(cp932[++i]));
        uint32_t cp = ConvertCode(impl_->cd, code);
        FT_UInt index = cp ? FT_Get_Char_Index(face, cp) : 0;
        if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0) continue;
        FT_GlyphSlot slot = face->glyph;
        if (FT_Render_Glyph(slot, request_.antialias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) continue;
        const FT_Bitmap& bm = slot->bitmap;
        int left = pen + slot->bitmap_left;
        int top = baseline - slot->bitmap_top;
        for (int r = 0; r < static_cast<int>(bm.rows); ++r) {
            int py = top + r;
            if (py < 0 || py >= picture.height) continue;
            const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
            for (int c = 0; c < static_cast<int>(bm.width); ++c) {
                int px = left + c;
                if (px < 0 || px >= picture.width) continue;
                int a;
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                    a = (src[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
                else
                    a = src[c];
                if (a == 0) continue;
                uint8_t* d = picture.Pixel(px, py);
                for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>((d[k] * (255 - a) + bgr[k] * a + 127) / 255);
            }
        }
        pen += static_cast<int>((slot->advance.x + 32) >> 6);
    }
    return pen;
}

}  // namespace velmora
