#pragma once
// The paint box's GPU surface: the shown 800 x 600 picture lives in a
// texture, updated by the rows that changed, and the GPU scales it: whole
// factors pixel for pixel, other sizes sharp-bilinear (nearest up to the
// largest whole factor, then linear), black bars around.
#include <QImage>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <functional>

#include "platform/qt/picture_fit.h"

namespace velmora::platform {

class GlView : public QOpenGLWidget, protected QOpenGLFunctions {
public:
    // shown: the picture (Format_RGB32, 800 x 600), owned by the paint box;
    // fit: where it stands in an area of device pixels; failed: called once
    // when the GPU cannot draw after all (shaders refused).
    GlView(const QImage& shown, std::function<PictureFit(QSize)> fit, std::function<void()> failed,
           QWidget* parent);
    ~GlView() override;

    // Rows top .. bottom of the picture changed: uploaded at the next paint.
    void RowsChanged(int top, int bottom);

    // Whether an OpenGL context can be had here at all (asked once).
    static bool Available();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void Release();

    const QImage& shown_;
    std::function<PictureFit(QSize)> fit_;
    std::function<void()> failed_;
    QOpenGLShaderProgram program_;
    QOpenGLBuffer quad_{QOpenGLBuffer::VertexBuffer};
    GLuint texture_ = 0;
    bool ready_ = false;
    int dirtyTop_ = 0, dirtyBottom_ = kPictureHeight - 1;  // the whole picture at first
};

}  // namespace velmora::platform
