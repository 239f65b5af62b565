#include "view/FrameView.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFunctions_1_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPaintEvent>
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
    textureHolds = {};
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

// Storage of the image's size, made once per size; the part is copied in with the image's rows
// (a part's rows lie a whole image row apart). An unsized GL_RGBA given B,G,R,A bytes is what
// software renderers store as it comes; the window has no alpha to show.
void FrameView::upload(const cv::Mat& image, const QRect& part) {
    gl->glBindTexture(GL_TEXTURE_2D, texture);
    const QSize size(image.cols, image.rows);
    if (size != textureSize) {
        gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size.width(), size.height(), 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        textureSize = size;
        if (blit) {
            blit->glBindFramebuffer(GL_FRAMEBUFFER, textureFramebuffer);
            blit->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                                         texture, 0);
            blit->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
        }
    }
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(image.step / 4));
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, part.x(), part.y(), part.width(), part.height(), GL_BGRA,
                        GL_UNSIGNED_INT_8_8_8_8_REV, image.ptr(part.y(), part.x()));
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

bool FrameView::copiesOneToOne(double scale) const {
    return scale == 1 && blit && devicePixelRatio() == 1;
}

QRect FrameView::partNeeded(QSize image, double scale, QPoint corner) const {
    if (!copiesOneToOne(scale)) return {QPoint(), image};
    return QRect(corner, image).intersected(QRect(0, 0, width(), height())).translated(-corner);
}

// The part's rows are copied from the texture into the window. The texture holds the picture
// top row first and OpenGL counts the window's rows upwards, so the copy turns the rows over; a
// software renderer keeps the window's rows top first, where this is a plain memory copy
// (drawing the textured quad would shade every pixel).
void FrameView::copyOneToOne(const QRect& part, QPoint corner) {
    const QRect inView = part.translated(corner);
    const int top = height() - inView.top();  // the view's top row, counted from its bottom
    blit->glBindFramebuffer(GL_READ_FRAMEBUFFER, textureFramebuffer);
    blit->glBlitFramebuffer(part.left(), part.top(), part.right() + 1, part.bottom() + 1,
                            inView.left(), top, inView.right() + 1, top - inView.height(),
                            GL_COLOR_BUFFER_BIT, GL_NEAREST);
    blit->glBindFramebuffer(GL_READ_FRAMEBUFFER, defaultFramebufferObject());
}

void FrameView::drawQuad(QSize shown, QPoint corner, double scale) {
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

// The hint, drawn into a canvas of the view's size: the same path to the screen as a frame.
void FrameView::drawPlaceholder() {
    canvas.create(height(), width(), CV_8UC4);
    QImage hint(canvas.data, width(), height(), static_cast<int>(canvas.step),
                QImage::Format_RGB32);  // B,G,R,A bytes
    hint.fill(Qt::black);
    QPainter painter(&hint);
    painter.setPen(Qt::white);
    painter.drawText(hint.rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                     placeholder);
    textureHolds = {};
}

// The texture is refilled only where it does not hold the part shown of the current picture
// yet: once for each frame, and again where scrolling brings more of it into the view.
void FrameView::paintGL() {
    const bool empty = picture.empty();
    if (empty && canvas.size() != cv::Size(width(), height())) drawPlaceholder();
    const QSize image = empty ? QSize(canvas.cols, canvas.rows) : QSize(picture.cols, picture.rows);
    const double scale = empty ? 1 : shownScale;
    const QPoint corner = empty ? QPoint() : origin;
    const QSize shown = shownSize(image, scale);
    if (image.isEmpty() || !QRect(corner, shown).contains(QRect(0, 0, width(), height())))
        gl->glClear(GL_COLOR_BUFFER_BIT);
    const QRect part = partNeeded(image, scale, corner);
    if (part.isEmpty()) return;
    if (!textureHolds.contains(part)) {
        if (!empty) paintCanvas(part);
        upload(canvas, part);
        textureHolds = part;
    }
    if (copiesOneToOne(scale))
        copyOneToOne(part, corner);
    else
        drawQuad(shown, corner, scale);
}

// The picture's part in the texture's layout (given the frame's own B,G,R bytes, a software
// renderer converts them texel by texel, which costs twice what converting them here does),
// with the overlay drawn over the whole canvas: each shape then lies where it lies in the
// frame-sized picture saved (a line clipped to the part would take its steps elsewhere). The
// canvas outside the part is left as it was; it is not shown.
void FrameView::paintCanvas(const QRect& part) {
    canvas.create(picture.size(), CV_8UC4);
    const cv::Rect inFrame(part.x(), part.y(), part.width(), part.height());
    cv::Mat inCanvas = canvas(inFrame);
    cv::cvtColor(picture(inFrame), inCanvas, cv::COLOR_BGR2BGRA);
    drawOverlay(canvas);
}

// The model's frame is kept as it is, without a copy: a source never writes into a frame it has
// handed out (FrameModel.h). What goes over it is decided now, as the frame comes.
bool FrameView::takeFrame() {
    const cv::Mat& frame = model->getImage();
    if (frame.empty()) return false;
    const cv::Mat& preview = model->getPreviewImage();
    const bool previewShown =
        configuring && model->isPreviewing() && preview.size() == frame.size();
    picture = previewShown ? preview : frame;
    shownResult = model->getResult();
    resultDrawn = !configuring;
    selectionDrawn = configuring && dragging && !previewShown;
    selection = {cv::Point(selX0, selY0), cv::Point(selX1, selY1)};
    textureHolds = {};
    return true;
}

void FrameView::newSource() {
    if (!takeFrame()) return;
    if (sourceChanged) sourceChanged();
    paintNow();
}

void FrameView::newFrame() {
    if (takeFrame()) paintNow();
}

// Sent a paint event, the window paints at once. update() would wait for the platform's next
// update request, up to a screen refresh later, and a video frame handed on meanwhile would
// take this one's place unseen; the request would also paint the frame a second time, as an
// OpenGL window that repaints whole stays marked for painting.
void FrameView::paintNow() {
    if (!isExposed()) return update();  // painted once exposed
    QPaintEvent paint(QRect(QPoint(), size()));
    QCoreApplication::sendEvent(this, &paint);
}

void FrameView::place(double scale, QPoint frameOrigin) {
    shownScale = scale;
    origin = frameOrigin;
    update();
}

void FrameView::drawOverlay(cv::Mat& image) const {
    if (resultDrawn) quendra::drawResultOverlay(image, shownResult);
    if (selectionDrawn)
        cv::rectangle(image, selection.first, selection.second, cv::Scalar(0, 0, 255, 0), 1,
                      cv::LINE_8, 0);
}

QImage FrameView::readBack() {
    if (!isValid()) return {};
    makeCurrent();
    paintGL();
    return grabFramebuffer();
}

cv::Mat FrameView::shownPicture() const {
    cv::Mat shown = picture.clone();
    if (!shown.empty()) drawOverlay(shown);
    return shown;
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
