#include "app/library_notices.h"

namespace velmora {

std::vector<std::string> LibraryNotices() {
    return {
        "Ogg Vorbis: Copyright (C) Xiph.Org Foundation, used under its BSD-style licence.",
        "FreeType: Portions of this software are copyright (C) The FreeType Project (www.freetype.org). "
        "All rights reserved.",
        "libjpeg-turbo: This software is based in part on the work of the Independent JPEG Group.",
        "libpng: Copyright (C) The PNG Reference Library Authors, used under the PNG Reference Library License.",
        "Qt 6: Copyright (C) The Qt Company Ltd., used under the GNU Lesser General Public License version 3 (LGPLv3).",
        "OpenAL Soft: used under the GNU Lesser General Public License (LGPL).",
        "fontconfig: Copyright (C) Keith Packard and others, used under its MIT-style licence.",
    };
}

}  // namespace velmora
