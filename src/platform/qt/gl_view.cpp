#include "platform/qt/gl_view.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/trace.h"

namespace velmora::platform {

namespace {

const char kVertexShader[] = R"(
attribute vec2 position;
varying vec2 uv;
void main() {
    // Row 0 of the texture is the picture's top row.
    uv = vec2(0.5 + 0.5 * position.x, 0.5 - 0.5 * position.y);
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// Whole factors: the texel under the pixel's centre. Other sizes: the texel
// grown to the largest whole factor first, and only the seams between grown
// texels blended, so the picture stays sharp without uneven pixels.
const char kFragmentShader[] = R"(
#ifdef GL_ES
precision highp float;
#endif
uniform sampler2D picture;
uniform vec2 size;
uniform float factor;
uniform float whole;
varying vec2 uv;
void main() {
    vec2 texel = uv * size;
    vec2 cell = floor(texel);
    vec2 offset = texel - cell - 0.5;
    float flat_reach = 0.5 - 0.5 / factor;
    vec2 f = whole > 0.5 ? vec2(0.5) : (offset - clamp(offset, -flat_reach, flat_reach)) * factor + 0.5;
    gl_FragColor = vec4(texture2D(picture, (cell + f) / size).bgr, 1.0);
}
)";

}  // namespace

namespace {

// Mesa's renderers that run on the processor.
bool SoftwareRenderer(const char* renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (std::strstr(renderer, name)) return true;
    return false;
}

}  // namespace

bool GlView::Available() {
    static const bool available = [] {
        QOpenGLContext probe;
        if (!probe.create()) {
            Trace("window: no OpenGL context; the picture is scaled on the CPU");
            return false;
        }
        // OpenGL drawn by the processor (a machine or a virtual machine
        // without a graphics driver) costs many times the CPU path's own
        // scaling; VELMORA_SOFTWARE_GL=1 takes it all the same.
        QOffscreenSurface surface;
        surface.setFormat(probe.format());
        surface.create();
        const char* renderer = nullptr;
        if (probe.makeCurrent(&surface)) {
            renderer = reinterpret_cast<const char*>(probe.functions()->glGetString(GL_RENDERER));
            const std::string name = renderer ? renderer : "";
            probe.doneCurrent();
            const char* wanted = std::getenv("VELMORA_SOFTWARE_GL");
            if (SoftwareRenderer(name.c_str()) && !(wanted && std::strcmp(wanted, "1") == 0)) {
                Trace("window: OpenGL is drawn in software here (%s); the picture is scaled on the CPU", name.c_str());
                return false;
            }
        }
        return true;
    }();
    return available;
}

GlView::GlView(const QImage& shown, std::function<PictureFit(QSize)> fit, std::function<void()> failed,
               QWidget* parent)
    : QOpenGLWidget(parent), shown_(shown), fit_(std::move(fit)), failed_(std::move(failed)) {
    // The paint box under it takes the pointer.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

GlView::~GlView() {
    // The base class destroys the context after this object's members are
    // gone: its "about to be destroyed" must not call Release again then.
    if (context()) disconnect(context(), nullptr, this, nullptr);
    Release();
}

void GlView::Release() {
    if (!context()) return;
    makeCurrent();
    if (texture_) glDeleteTextures(1, &texture_);
    texture_ = 0;
    quad_.destroy();
    doneCurrent();
}

void GlView::RowsChanged(int top, int bottom) {
    dirtyTop_ = std::min(dirtyTop_, std::max(top, 0));
    dirtyBottom_ = std::max(dirtyBottom_, std::min(bottom, kPictureHeight - 1));
}

void GlView::initializeGL() {
    initializeOpenGLFunctions();
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GlView::Release);
    ready_ = program_.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
             program_.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader);
    program_.bindAttributeLocation("position", 0);
    ready_ = ready_ && program_.link();
    static const GLfloat corners[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    ready_ = ready_ && quad_.create() && quad_.bind();
    if (ready_) {
        quad_.allocate(corners, sizeof corners);
        quad_.release();
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        // RGB32 words are blue-green-red-x bytes: uploaded as they lie, swizzled by the shader.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kPictureWidth, kPictureHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     shown_.constBits());
        dirtyTop_ = kPictureHeight;
        dirtyBottom_ = -1;
        ready_ = glGetError() == GL_NO_ERROR;
    }
    if (!ready_) {
        Trace("window: the OpenGL driver cannot draw the picture (%s); the picture is scaled on the CPU",
              qPrintable(program_.log().trimmed()));
        if (failed_) failed_();
    }
}

void GlView::paintGL() {
    const qreal dpr = devicePixelRatioF();
    const QSize area(qRound(width() * dpr), qRound(height() * dpr));
    glViewport(0, 0, area.width(), area.height());
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!ready_) return;
    glBindTexture(GL_TEXTURE_2D, texture_);
    if (dirtyTop_ <= dirtyBottom_) {
        // Whole rows: one contiguous run of the picture's memory.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, dirtyTop_, kPictureWidth, dirtyBottom_ - dirtyTop_ + 1, GL_RGBA,
                        GL_UNSIGNED_BYTE, shown_.constScanLine(dirtyTop_));
        dirtyTop_ = kPictureHeight;
        dirtyBottom_ = -1;
    }
    const PictureFit fit = fit_(area);
    const QRect& r = fit.rect;
    glViewport(r.x(), area.height() - r.y() - r.height(), r.width(), r.height());
    const float grow =
        std::max(1.0f, std::floor(std::min(static_cast<float>(r.width()) / kPictureWidth,
                                           static_cast<float>(r.height()) / kPictureHeight)));
    program_.bind();
    program_.setUniformValue("picture", 0);
    program_.setUniformValue("size", QVector2D(kPictureWidth, kPictureHeight));
    program_.setUniformValue("factor", grow);
    program_.setUniformValue("whole", fit.factor > 0 ? 1.0f : 0.0f);
    quad_.bind();
    program_.enableAttributeArray(0);
    program_.setAttributeBuffer(0, GL_FLOAT, 0, 2);
    glActiveTexture(GL_TEXTURE0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    program_.disableAttributeArray(0);
    quad_.release();
    program_.release();
}

}  // namespace velmora::platform
