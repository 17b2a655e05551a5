// The glyph outline service through stb_truetype, for builds without
// FreeType and fontconfig (the browser). The faces are the TrueType files of
// one folder (kFontFolder), known by the family names in their name tables;
// Windows face names map onto them through the same alias table.
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb/stb_truetype.h>

#include "app/trace.h"
#include "data/cp932_table.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "text/glyph_outline.h"

namespace velmora {

namespace {

constexpr const char* kFontFolder = "/fonts";

struct Face {
    std::string file;
    int index = 0;
    std::vector<std::string> families;  // UTF-8, Latin name first
    bool japanese = false;
    bool mincho = false;
};

struct FaceFile {
    std::vector<uint8_t> bytes;
};

// Font files stay loaded for the run: every open font points into them.
std::vector<std::unique_ptr<FaceFile>>& LoadedFiles() {
    static std::vector<std::unique_ptr<FaceFile>> files;
    return files;
}

const uint8_t* FileBytes(const std::string& path) {
    static std::vector<std::pair<std::string, const FaceFile*>> byPath;
    for (auto& p : byPath)
        if (p.first == path) return p.second->bytes.data();
    auto f = std::make_unique<FaceFile>();
    if (!ReadWholeFile(path, f->bytes) || f->bytes.empty()) return nullptr;
    byPath.emplace_back(path, f.get());
    LoadedFiles().push_back(std::move(f));
    return LoadedFiles().back()->bytes.data();
}

std::string Utf16BeToUtf8(const char* s, int len) {
    std::string out;
    for (int i = 0; i + 1 < len; i += 2) {
        AppendUtf8(static_cast<unsigned char>(s[i]) << 8 | static_cast<unsigned char>(s[i + 1]), out);
    }
    return out;
}

// Every TrueType face of the font folder, read once.
const std::vector<Face>& Faces() {
    static std::vector<Face> faces;
    static bool scanned = false;
    if (scanned) return faces;
    scanned = true;
    std::vector<std::string> names;
    if (DIR* d = opendir(kFontFolder)) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            std::string lower = n;
            for (char& c : lower) c = AsciiUpper(c);
            if (lower.size() > 4 && (lower.ends_with(".TTF") || lower.ends_with(".TTC") || lower.ends_with(".OTF")))
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        const std::string path = std::string(kFontFolder) + "/" + n;
        const uint8_t* data = FileBytes(path);
        if (!data) continue;
        const int count = std::max(1, stbtt_GetNumberOfFonts(data));
        for (int i = 0; i < count; ++i) {
            stbtt_fontinfo info;
            const int offset = stbtt_GetFontOffsetForIndex(data, i);
            if (offset < 0 || !stbtt_InitFont(&info, data, offset)) continue;
            Face f;
            f.file = path;
            f.index = i;
            for (int lang : {0x409, 0x411}) {
                int len = 0;
                const char* s = stbtt_GetFontNameString(&info, &len, STBTT_PLATFORM_ID_MICROSOFT,
                                                        STBTT_MS_EID_UNICODE_BMP, lang, 1);
                if (!s) continue;
                std::string name = Utf16BeToUtf8(s, len);
                if (!name.empty() && std::find(f.families.begin(), f.families.end(), name) == f.families.end())
                    f.families.push_back(name);
            }
            if (f.families.empty()) continue;
            f.japanese = stbtt_FindGlyphIndex(&info, 0x3042) && stbtt_FindGlyphIndex(&info, 0x30A2) &&
                         stbtt_FindGlyphIndex(&info, 0x6F22);
            std::string lower = f.families[0];
            for (char& c : lower) c = AsciiUpper(c);
            f.mincho = lower.find("MINCHO") != std::string::npos || lower.find("SERIF") != std::string::npos;
            faces.push_back(std::move(f));
        }
    }
    return faces;
}

bool MatchExactly(const std::string& family, ResolvedFace& out, bool latinOnly) {
    for (const Face& f : Faces()) {
        if (!f.japanese && !latinOnly) continue;
        for (const std::string& n : f.families)
            if (n.size() == family.size() && EqualsNoCase(n.c_str(), family.c_str())) {
                out.file = f.file;
                out.index = f.index;
                out.family = f.families[0];
                return true;
            }
    }
    return false;
}

bool LooksMincho(const std::string& family) {
    if (family.find("明朝") != std::string::npos) return true;
    std::string upper = family;
    for (char& c : upper) c = AsciiUpper(c);
    return upper.find("MINCHO") != std::string::npos || upper.find("SERIF") != std::string::npos;
}

// Big-endian numbers of a font's tables.
unsigned U16(const uint8_t* p) { return p[0] << 8 | p[1]; }
uint32_t U32(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

const uint8_t* FindTable(const stbtt_fontinfo& info, const char* tag, uint32_t minLength) {
    const uint8_t* font = info.data + info.fontstart;
    const unsigned tables = U16(font + 4);
    for (unsigned i = 0; i < tables; ++i) {
        const uint8_t* rec = font + 12 + 16 * i;
        if (std::memcmp(rec, tag, 4) == 0 && U32(rec + 12) >= minLength) return info.data + U32(rec + 8);
    }
    return nullptr;
}

}  // namespace

bool ResolveFace(const std::string& utf8Family, bool bold, ResolvedFace& out, bool latinOnly) {
    out = ResolvedFace();
    bool found = !utf8Family.empty() && MatchExactly(utf8Family, out, latinOnly);
    if (!found)
        if (const std::vector<std::string>* targets = WindowsFaceAlias(utf8Family))
            for (const std::string& t : *targets)
                if ((found = MatchExactly(t, out, latinOnly))) break;
    if (!found && latinOnly) {
        Trace("font: \"%s\" for one-byte text is not installed; the message font is used", utf8Family.c_str());
        return false;
    }
    if (!found) {
        // The best face with Japanese glyphs, serif or sans like the request.
        const bool mincho = LooksMincho(utf8Family);
        const Face* best = nullptr;
        for (const Face& f : Faces())
            if (f.japanese && (!best || (f.mincho == mincho && best->mincho != mincho))) best = &f;
        if (!best) {
            Trace("font: no installed face has Japanese glyphs; text will not be drawn");
            return false;
        }
        out.file = best->file;
        out.index = best->index;
        out.family = best->families[0];
        out.fallback = true;
        Trace("font: \"%s\" is not installed; using \"%s\"", utf8Family.c_str(), out.family.c_str());
    }
    // The folder's faces are regular weights: bold is drawn emboldened.
    out.embolden = bold;
    return true;
}

std::vector<std::string> InstalledFontFamilies(bool japaneseOnly) {
    std::set<std::string> names;
    for (const Face& f : Faces())
        if (!japaneseOnly || f.japanese) names.insert(f.families.begin(), f.families.end());
    return std::vector<std::string>(names.begin(), names.end());
}

std::vector<std::string> FamilyNames(const std::string& utf8Family) {
    std::set<std::string> names;
    for (const Face& f : Faces())
        for (const std::string& n : f.families)
            if (n.size() == utf8Family.size() && EqualsNoCase(n.c_str(), utf8Family.c_str()))
                names.insert(f.families.begin(), f.families.end());
    return std::vector<std::string>(names.begin(), names.end());
}

struct OutlineFont::Impl {
    stbtt_fontinfo info;
    long unitsAscent = 0, unitsDescent = 0;
    bool integerPpem = false;  // the face asks for whole pixels per em
    float scale = 0;
    int ascent = 0;
    int descent = 0;
};

OutlineFont::OutlineFont() = default;
OutlineFont::~OutlineFont() = default;

bool OutlineFont::Open(const FontRequest& request) {
    impl_.reset();
    request_ = request;
    face_ = ResolvedFace();
    ResolvedFace face;
    if (!ResolveFace(request.family, request.bold, face, request.latinOnly)) return false;
    const uint8_t* data = FileBytes(face.file);
    auto impl = std::make_unique<Impl>();
    if (!data || !stbtt_InitFont(&impl->info, data, stbtt_GetFontOffsetForIndex(data, face.index))) {
        Trace("font: cannot open %s", face.file.c_str());
        return false;
    }
    // Ascent and descent as the Windows metrics give them.
    const uint8_t* os2 = FindTable(impl->info, "OS/2", 78);
    if (os2 && U16(os2 + 74) + U16(os2 + 76) > 0) {
        impl->unitsAscent = U16(os2 + 74);
        impl->unitsDescent = U16(os2 + 76);
    } else {
        int a = 0, d = 0, gap = 0;
        stbtt_GetFontVMetrics(&impl->info, &a, &d, &gap);
        impl->unitsAscent = a;
        impl->unitsDescent = -d;
    }
    const uint8_t* head = FindTable(impl->info, "head", 54);
    impl->integerPpem = head && (U16(head + 16) & 8);
    impl_ = std::move(impl);
    face_ = face;
    SetPointSize(request.pointSize);
    return true;
}

bool OutlineFont::IsOpen() const { return impl_ != nullptr; }

void OutlineFont::SetPointSize(int pointSize) {
    request_.pointSize = pointSize;
    if (!impl_) return;
    Impl& m = *impl_;
    const int upem = [&] {
        const uint8_t* head = FindTable(m.info, "head", 54);
        return head ? static_cast<int>(U16(head + 18)) : 2048;
    }();
    double ppem;
    if (request_.cellHeight > 0 && m.unitsAscent + m.unitsDescent > 0)
        ppem = std::max(1.0, static_cast<double>(request_.cellHeight) * upem / (m.unitsAscent + m.unitsDescent));
    else
        ppem = std::max(pointSize, 1) * 96.0 / 72.0;
    if (m.integerPpem) ppem = std::floor(ppem + 0.5);
    m.scale = static_cast<float>(ppem / upem);
    m.ascent = static_cast<int>(std::ceil(m.unitsAscent * ppem / upem));
    m.descent = static_cast<int>(std::ceil(m.unitsDescent * ppem / upem));
}

int OutlineFont::Ascent() const { return impl_ ? impl_->ascent : 0; }
int OutlineFont::Descent() const { return impl_ ? impl_->descent : 0; }

int64_t OutlineFont::RenderGlyph(uint16_t code, GlyphBitmap& out) {
    out = GlyphBitmap();
    if (!impl_) return -1;
    const uint32_t cp = Cp932CodeToUnicode(code);
    if (cp == 0) return -1;
    Impl& m = *impl_;
    const int index = stbtt_FindGlyphIndex(&m.info, static_cast<int>(cp));
    if (index == 0) return -1;
    int x0, y0, x1, y1;
    stbtt_GetGlyphBitmapBox(&m.info, index, m.scale, m.scale, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0) return 0;
    const int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
    stbtt_MakeGlyphBitmap(&m.info, grey.data(), w, h, w, m.scale, m.scale, index);
    // Emboldening widens each stroke by a pixel to the right.
    const int extra = face_.embolden ? 1 : 0;
    out.blackBoxX = w + extra;
    out.blackBoxY = h;
    out.originX = x0;
    out.originY = -y0;
    out.pitch = (out.blackBoxX + 3) & ~3;
    out.levels.assign(out.Size(), 0);
    for (int r = 0; r < h; ++r) {
        uint8_t* dst = out.levels.data() + static_cast<size_t>(r) * out.pitch;
        for (int c = 0; c < out.blackBoxX; ++c) {
            int v = c < w ? grey[static_cast<size_t>(r) * w + c] : 0;
            if (extra && c > 0) v = std::max<int>(v, grey[static_cast<size_t>(r) * w + c - 1]);
            dst[c] = request_.antialias ? static_cast<uint8_t>((v * 64 + 127) / 255) : (v >= 128 ? 64 : 0);
        }
    }
    return out.Size();
}

namespace {

int GlyphIndex(const stbtt_fontinfo& info, uint16_t code) {
    const uint32_t cp = Cp932CodeToUnicode(code);
    return cp ? stbtt_FindGlyphIndex(&info, static_cast<int>(cp)) : 0;
}

}  // namespace

int OutlineFont::Advance(uint16_t code) {
    if (!impl_) return -1;
    const int index = GlyphIndex(impl_->info, code);
    if (index == 0) return -1;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&impl_->info, index, &advance, &bearing);
    // Emboldening widens the stroke and the advance by a pixel.
    return static_cast<int>(std::lround(advance * impl_->scale)) + (face_.embolden ? 1 : 0);
}

int OutlineFont::Kerning(uint16_t left, uint16_t right) {
    if (!impl_) return 0;
    const int a = GlyphIndex(impl_->info, left), b = GlyphIndex(impl_->info, right);
    if (a == 0 || b == 0) return 0;
    return static_cast<int>(std::lround(stbtt_GetGlyphKernAdvance(&impl_->info, a, b) * impl_->scale));
}

int OutlineFont::DrawText(Picture& picture, int x, int y, const std::string& cp932, uint32_t colour) {
    if (!impl_ || cp932.empty()) return x;
    const uint8_t bgr[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour)};
    Impl& m = *impl_;
    int pen = x;
    const int baseline = y + m.ascent;
    for (size_t i = 0; i < cp932.size(); ++i) {
        uint16_t code = static_cast<uint8_t>(cp932[i]);
        if (IsLeadByte(static_cast<unsigned char>(code)) && i + 1 < cp932.size())
            code = static_cast<uint16_t>(code << 8 | static_cast<uint8_t>(cp932[++i]));
        const uint32_t cp = Cp932CodeToUnicode(code);
        const int index = cp ? stbtt_FindGlyphIndex(&m.info, static_cast<int>(cp)) : 0;
        if (index == 0) continue;
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&m.info, index, &advance, &bearing);
        int x0, y0, x1, y1;
        stbtt_GetGlyphBitmapBox(&m.info, index, m.scale, m.scale, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0) {
            std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
            stbtt_MakeGlyphBitmap(&m.info, grey.data(), w, h, w, m.scale, m.scale, index);
            for (int r = 0; r < h; ++r) {
                const int py = baseline + y0 + r;
                if (py < 0 || py >= picture.height) continue;
                for (int c = 0; c < w; ++c) {
                    const int px = pen + x0 + c;
                    if (px < 0 || px >= picture.width) continue;
                    int a = grey[static_cast<size_t>(r) * w + c];
                    if (!request_.antialias) a = a >= 128 ? 255 : 0;
                    if (a == 0) continue;
                    uint8_t* d = picture.Pixel(px, py);
                    for (int k = 0; k < 3; ++k)
                        d[k] = static_cast<uint8_t>((d[k] * (255 - a) + bgr[k] * a + 127) / 255);
                }
            }
        }
        pen += static_cast<int>(std::lround(advance * m.scale));
    }
    return pen;
}

}  // namespace velmora
