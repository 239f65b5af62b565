#include "view/FrameView.h"

#include <GL/gl.h>

#include <QMouseEvent>
#include <QPainter>
#include <opencv2/imgproc.hpp>

#include "io/PictureFile.h"
#include "model/CalculationModel.h"
#include "report/RecognitionData.h"
#include "report/ResultOverlay.h"

FrameView::FrameView(CalculationModel* m) : model(m) {
    setMinimumSize(0, 0);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    model->setObserver(this);
}

void FrameView::initializeGL() {
    glClearColor(0, 0, 0, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
}

void FrameView::paintGL() {
    glViewport(0, 0, width() * devicePixelRatio(), height() * devicePixelRatio());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width(), height(), 0, 0.01, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (displayImage.empty()) {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                         placeholder);
        return;
    }
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(0, 0, -0.02f);
    // Frame rows are tightly packed, not padded to 4 bytes.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(displayImage.step / 3));
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, displayImage.cols, displayImage.rows, 0, GL_BGR,
                 GL_UNSIGNED_BYTE, displayImage.data);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    const GLfloat w = static_cast<GLfloat>(width()), h = static_cast<GLfloat>(height());
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(0, 0, 0);
    glTexCoord2f(1, 0);
    glVertex3f(w, 0, 0);
    glTexCoord2f(1, 1);
    glVertex3f(w, h, 0);
    glTexCoord2f(0, 1);
    glVertex3f(0, h, 0);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

bool FrameView::takeFrame() {
    const cv::Mat& frame = model->getImage();
    if (frame.empty()) return false;
    displayImage = frame.clone();
    drawOverlay();
    return true;
}

void FrameView::newSource() {
    if (!takeFrame()) return;
    setFixedSize(displayImage.cols, displayImage.rows);
    update();
}

void FrameView::newFrame() {
    if (takeFrame()) update();
}

void FrameView::drawOverlay() {
    if (!configuring) {
        quendra::drawResultOverlay(displayImage, model->getResult());
        return;
    }
    if (dragging)
        cv::rectangle(displayImage, cv::Point(selX0, selY0), cv::Point(selX1, selY1),
                      cv::Scalar(0, 0, 255, 0), 1, cv::LINE_8, 0);
    if (model->isPreviewing() && model->getPreviewImage().size() == displayImage.size())
        model->getPreviewImage().copyTo(displayImage);
}

void FrameView::setConfiguring(bool on) {
    configuring = on;
    setCursor(on ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void FrameView::mousePressEvent(QMouseEvent* event) {
    if (!configuring || event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    selX0 = selX1 = p.x();
    selY0 = selY1 = p.y();
    dragging = true;
    newFrame();
}

void FrameView::mouseMoveEvent(QMouseEvent* event) {
    if (!configuring) return;
    const QPoint p = event->position().toPoint();
    selX1 = p.x();
    selY1 = p.y();
    newFrame();
}

void FrameView::mouseReleaseEvent(QMouseEvent* event) {
    if (!configuring || event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
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

bool FrameView::saveImage(const std::string& path) const {
    return quendra::savePicture(path, displayImage);
}

bool FrameView::saveRecognitionData(const std::string& path) const {
    return quendra::saveRecognitionData(path, model->getResult());
}
