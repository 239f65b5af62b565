#include "view/FrameView.h"

#include <QMouseEvent>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPainter>
#include <opencv2/imgproc.hpp>

#include "model/CalculationModel.h"
#include "overlay/ResultOverlay.h"
#include "view/ViewMapping.h"

FrameView::FrameView(CalculationModel* m) : model(m) {
    model->setObserver(this);
}

FrameView::~FrameView() {
    if (!texture || !context()) return;
    makeCurrent();
    gl->glDeleteTextures(1, &texture);
    if (blit) blit->glDeleteFramebuffers(1, &textureFramebuffer);
    doneCurrent();
}

void FrameView::initializeGL() {
    gl = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_1_1>(context());
    gl->initializeOpenGLFunctions();
    gl->glClearColor(0, 0, 0, 0);
    gl->glGenTextures(1, &texture);
    textureSize = {};
    textureStale = true;
    const bool canBlit = context()->format().majorVersion() >= 3 ||
                         context()->hasExtension("GL_ARB_framebuffer_object");
    blit = canBlit ? context()->extraFunctions() : nullptr;
    if (blit) blit->glGenFramebuffers(1, &textureFramebuffer);
}

// The projection maps window pixels, y downwards; the quad lies in front of the eye.
void FrameView::resizeGL(int width, int height) {
    const qreal ratio = devicePixelRatio();
    gl->glViewport(0, 0, static_cast<GLsizei>(width * ratio), static_cast<GLsizei>(height * ratio));
    gl->glMatrixMode(GL_PROJECTION);
    gl->glLoadIdentity();
    gl->glOrtho(0, width, height, 0, 0.01, 10.0);
    gl->glMatrixMode(GL_MODELVIEW);
    gl->glLoadIdentity();
    gl->glTranslatef(0, 0, -0.02f);
}

// An unsized GL_RGBA given B,G,R,A bytes is what software renderers store as it comes; the
// window has no alpha to show.
void FrameView::upload(const cv::Mat& picture) {
    gl->glBindTexture(GL_TEXTURE_2D, texture);
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(picture.step / 4));
    const QSize size(picture.cols, picture.rows);
    if (size != textureSize) {
        gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size.width(), size.height(), 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, picture.data);
        textureSize = size;
        if (blit) {
            blit->glBindFramebuffer(GL_FRAMEBUFFER, textureFramebuffer);
            blit->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                                         texture, 0);
            blit->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
        }
    } else {
        gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), GL_BGRA,
                            GL_UNSIGNED_INT_8_8_8_8_REV, picture.data);
    }
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    textureStale = false;
}

// At 1:1 the texture's rows are copied into the window, the part of the frame inside the
// view. The texture holds the picture top row first and OpenGL counts the window's rows
// upwards, so the copy turns the rows over; a software renderer keeps the window's rows top
// first, where this is a plain memory copy (drawing the textured quad would shade every
// pixel). False where a copy cannot show the frame.
bool FrameView::copyOneToOne(QSize frame, QPoint corner) {
    if (!blit || devicePixelRatio() != 1) return false;
    const QRect inView = QRect(corner, frame).intersected(QRect(0, 0, width(), height()));
    if (inView.isEmpty()) return true;
    const QPoint source = inView.topLeft() - corner;
    const int top = height() - inView.top();  // the view's top row, counted from its bottom
    blit->glBindFramebuffer(GL_READ_FRAMEBUFFER, textureFramebuffer);
    blit->glBlitFramebuffer(source.x(), source.y(), source.x() + inView.width(),
                            source.y() + inView.height(), inView.left(), top, inView.right() + 1,
                            top - inView.height(), GL_COLOR_BUFFER_BIT, GL_NEAREST);
    blit->glBindFramebuffer(GL_READ_FRAMEBUFFER, defaultFramebufferObject());
    return true;
}

// The hint, drawn into a picture of the view's size: the same path to the screen as a frame.
void FrameView::drawPlaceholder() {
    placeholderImage.create(height(), width(), CV_8UC4);
    QImage canvas(placeholderImage.data, width(), height(), static_cast<int>(placeholderImage.step),
                  QImage::Format_RGB32);  // B,G,R,A bytes
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setPen(Qt::white);
    painter.drawText(canvas.rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                     placeholder);
    textureStale = true;
}

void FrameView::paintGL() {
    const bool empty = displayImage.empty();
    if (empty && placeholderImage.size() != cv::Size(width(), height())) drawPlaceholder();
    const cv::Mat& picture = empty ? placeholderImage : displayImage;
    const double scale = empty ? 1 : shownScale;
    const QPoint corner = empty ? QPoint() : origin;
    const QSize shown = shownSize({picture.cols, picture.rows}, scale);
    if (picture.empty() || !QRect(corner, shown).contains(QRect(0, 0, width(), height())))
        gl->glClear(GL_COLOR_BUFFER_BIT);
    if (picture.empty()) return;
    if (textureStale) upload(picture);
    if (scale == 1 && copyOneToOne(shown, corner)) return;
    gl->glBindTexture(GL_TEXTURE_2D, texture);
    // At 1:1 every texel is one screen pixel; other scales blend neighbours.
    const GLint filter = scale == 1 ? GL_NEAREST : GL_LINEAR;
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    gl->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    gl->glEnable(GL_TEXTURE_2D);
    const auto x0 = static_cast<GLfloat>(corner.x()), y0 = static_cast<GLfloat>(corner.y());
    const auto x1 = x0 + static_cast<GLfloat>(shown.width());
    const auto y1 = y0 + static_cast<GLfloat>(shown.height());
    gl->glBegin(GL_QUADS);
    gl->glTexCoord2f(0, 0);
    gl->glVertex3f(x0, y0, 0);
    gl->glTexCoord2f(1, 0);
    gl->glVertex3f(x1, y0, 0);
    gl->glTexCoord2f(1, 1);
    gl->glVertex3f(x1, y1, 0);
    gl->glTexCoord2f(0, 1);
    gl->glVertex3f(x0, y1, 0);
    gl->glEnd();
    gl->glDisable(GL_TEXTURE_2D);
}

// The view's own copy of the frame is made in the texture's layout: the copy the view keeps
// anyway, so the frame is copied no more often on its way to the screen.
bool FrameView::takeFrame() {
    const cv::Mat& frame = model->getImage();
    if (frame.empty()) return false;
    cv::cvtColor(frame, displayImage, cv::COLOR_BGR2BGRA);
    shownResult = model->getResult();
    placeholderImage.release();
    drawOverlay();
    textureStale = true;
    return true;
}

void FrameView::newSource() {
    if (!takeFrame()) return;
    if (sourceChanged) sourceChanged();
    update();
}

void FrameView::newFrame() {
    if (takeFrame()) update();
}

void FrameView::place(double scale, QPoint frameOrigin) {
    shownScale = scale;
    origin = frameOrigin;
    update();
}

void FrameView::drawOverlay() {
    if (!configuring) {
        quendra::drawResultOverlay(displayImage, shownResult);
        return;
    }
    if (dragging)
        cv::rectangle(displayImage, cv::Point(selX0, selY0), cv::Point(selX1, selY1),
                      cv::Scalar(0, 0, 255, 0), 1, cv::LINE_8, 0);
    if (model->isPreviewing() && model->getPreviewImage().size() == displayImage.size())
        cv::cvtColor(model->getPreviewImage(), displayImage, cv::COLOR_BGR2BGRA);
}

QImage FrameView::readBack() {
    if (!isValid()) return {};
    makeCurrent();
    paintGL();
    return grabFramebuffer();
}

cv::Mat FrameView::shownPicture() const {
    cv::Mat picture;
    if (!displayImage.empty()) cv::cvtColor(displayImage, picture, cv::COLOR_BGRA2BGR);
    return picture;
}

void FrameView::setConfiguring(bool on) {
    configuring = on;
    setCursor(on ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

QPoint FrameView::framePointOf(const QMouseEvent* event) const {
    return frameAt(event->position(), shownScale, origin);
}

void FrameView::mousePressEvent(QMouseEvent* event) {
    if (!configuring || event->button() != Qt::LeftButton) return;
    const QPoint p = framePointOf(event);
    selX0 = selX1 = p.x();
    selY0 = selY1 = p.y();
    dragging = true;
    newFrame();
}

// A window hears the mouse move also with no button held; only the left button's drag counts.
void FrameView::mouseMoveEvent(QMouseEvent* event) {
    if (!configuring || !dragging) return;
    const QPoint p = framePointOf(event);
    selX1 = p.x();
    selY1 = p.y();
    newFrame();
}

void FrameView::mouseReleaseEvent(QMouseEvent* event) {
    if (!configuring || event->button() != Qt::LeftButton) return;
    const QPoint p = framePointOf(event);
    // Order the corners against the press point; the release point becomes one of them.
    if (p.x() < selX0) {
        selX1 = selX0;
        selX0 = p.x();
    } else {
        selX1 = p.x();
    }
    if (p.y() < selY0) {
        selY1 = selY0;
        selY0 = p.y();
    } else {
        selY1 = p.y();
    }
    dragging = false;
    newFrame();
    model->addSamples(selX0, selY0, selX1, selY1);
}
