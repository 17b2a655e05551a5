// velmora-icon: draws the engine's desktop icon (a night scene with a moon
// over a message window) as RGBA PNG files at the sizes a desktop asks for,
// and as an SVG of the same shapes for any other size, so that no picture is
// kept in the repository.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/file_io.h"
#include "gfx/png_file.h"
#include "tools/icon_drawing.h"

using velmora::Picture;
using velmora::tools::DrawIcon;

namespace {

// The same icon as SVG, in the same 256-unit square.
std::string IconSvg() {
    std::string hill;
    for (int u = 8; u <= 248; u += 8) {
        char point[48];
        std::snprintf(point, sizeof point, " L%d,%.1f", u, 150 + 18 * std::sin(u / 40.0));
        hill += point;
    }
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
           "  <defs>\n"
           "    <linearGradient id=\"sky\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
           "      <stop offset=\"0\" stop-color=\"#181e4e\"/><stop offset=\"1\" stop-color=\"#403c8a\"/>\n"
           "    </linearGradient>\n"
           "    <clipPath id=\"tile\"><rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" rx=\"48\"/></clipPath>\n"
           "  </defs>\n"
           "  <rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" rx=\"48\" fill=\"url(#sky)\"/>\n"
           "  <g clip-path=\"url(#tile)\">\n"
           "    <circle cx=\"176\" cy=\"76\" r=\"58\" fill=\"#ffecaa\" fill-opacity=\"0.18\"/>\n"
           "    <circle cx=\"176\" cy=\"76\" r=\"34\" fill=\"#fff0be\"/>\n"
           "    <path d=\"M0,150" + hill + " L256,256 L0,256 Z\" fill=\"#283c6e\"/>\n"
           "  </g>\n"
           "  <rect x=\"28\" y=\"150\" width=\"200\" height=\"76\" rx=\"14\" fill=\"#0c102c\" fill-opacity=\"0.85\"\n"
           "        stroke=\"#aabef0\" stroke-width=\"2.4\"/>\n"
           "  <rect x=\"48\" y=\"170\" width=\"150\" height=\"10\" rx=\"5\" fill=\"#ebeefa\"/>\n"
           "  <rect x=\"48\" y=\"196\" width=\"100\" height=\"10\" rx=\"5\" fill=\"#ebeefa\"/>\n"
           "</svg>\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: velmora-icon OUTDIR\n"
                   "  draws the desktop icon into OUTDIR as velmora-48.png, velmora-128.png, velmora-256.png\n"
                   "  and velmora.svg\n",
                   argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    const std::string dir = argv[1];
    if (!velmora::IsDirectory(dir) && !velmora::MakeDirectories(dir)) {
        std::fprintf(stderr, "velmora-icon: cannot create %s\n", dir.c_str());
        return 1;
    }
    for (int n : {48, 128, 256}) {
        Picture colour, alpha;
        DrawIcon(n, colour, alpha);
        const std::string path = dir + "/velmora-" + std::to_string(n) + ".png";
        if (!velmora::WritePngWithAlpha(path, colour, &alpha)) {
            std::fprintf(stderr, "velmora-icon: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const std::string svg = IconSvg();
    if (!velmora::WriteFileAtomic(dir + "/velmora.svg", svg.data(), svg.size())) {
        std::fprintf(stderr, "velmora-icon: cannot write %s/velmora.svg\n", dir.c_str());
        return 1;
    }
    return 0;
}
