#include "view/ViewArea.h"

#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>

#include "view/FrameView.h"
#include "view/ViewMapping.h"

namespace {
// The smallest the area gets while fitting: the frame stays recognisable.
constexpr QSize kSmallestFit(160, 120);
// Pixels scrolled by one notch of the mouse wheel.
constexpr int kWheelStep = 60;
}  // namespace

ViewArea::ViewArea(FrameView* view) : frameView(view) {
    setFrameShape(QFrame::NoFrame);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    setViewport(QWidget::createWindowContainer(view));
    view->installEventFilter(this);
    view->setSourceChanged([this] {
        updateBounds();
        relayout();
        emit sourceShown();
    });
}

QSize ViewArea::sizeHint() const {
    return minimumSize().isEmpty() ? QAbstractScrollArea::sizeHint() : minimumSize();
}

void ViewArea::setRoom(QSize r) {
    room = r;
    updateBounds();
}

void ViewArea::zoomIn() {
    zoomTo(zoomedScale(scale, 1), viewport()->rect().center());
}

void ViewArea::zoomOut() {
    zoomTo(zoomedScale(scale, -1), viewport()->rect().center());
}

void ViewArea::showActualSize() {
    zoomTo(1, viewport()->rect().center());
}

void ViewArea::fitToArea() {
    fitting = true;
    updateBounds();
    relayout();
    emit zoomChanged(scale, fitting);
}

void ViewArea::zoomTo(double newScale, QPoint anchor) {
    const QSize page = viewport()->size();
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QPoint origin = frameOrigin(shownSize(frameView->frameSize(), scale), page, scroll);
    const QPointF framePoint = QPointF(anchor - origin) / scale;
    fitting = false;
    scale = newScale;
    room = size();  // zooming changes what the area shows, not how large it is
    updateBounds();
    relayout();
    horizontalScrollBar()->setValue(static_cast<int>(framePoint.x() * scale) - anchor.x());
    verticalScrollBar()->setValue(static_cast<int>(framePoint.y() * scale) - anchor.y());
    relayout();
    emit zoomChanged(scale, fitting);
}

void ViewArea::relayout() {
    const QSize frame = frameView->frameSize();
    const QSize page = viewport()->size();
    if (fitting && !frame.isEmpty()) {
        const double fitted = std::min(kMaxScale, fitScale(frame, page));
        if (fitted != scale) {
            scale = fitted;
            emit zoomChanged(scale, fitting);
        }
    }
    const QSize shown = shownSize(frame, scale);
    horizontalScrollBar()->setRange(0, std::max(0, shown.width() - page.width()));
    verticalScrollBar()->setRange(0, std::max(0, shown.height() - page.height()));
    horizontalScrollBar()->setPageStep(page.width());
    verticalScrollBar()->setPageStep(page.height());
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    frameView->place(scale, frameOrigin(shown, page, scroll));
}

// Fitting, the area takes what the window gives it. Otherwise the shown frame's size, or the
// room with a scroll bar where the frame does not fit in one direction.
void ViewArea::updateBounds() {
    const QSizePolicy::Policy policy = fitting ? QSizePolicy::Expanding : QSizePolicy::Minimum;
    setSizePolicy(policy, policy);
    if (fitting) {
        setMinimumSize(kSmallestFit);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        return;
    }
    if (frameView->frameSize().isEmpty()) return;
    const QSize content = shownSize(frameView->frameSize(), scale);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize shown = content.boundedTo(room);
    const bool across = shown.width() < content.width(), down = shown.height() < content.height();
    if (across) shown.setHeight(std::min(content.height() + bar, room.height()));
    if (down) shown.setWidth(std::min(content.width() + bar, room.width()));
    setMinimumSize(shown);
    setMaximumSize(content + QSize(down ? bar : 0, across ? bar : 0));
    updateGeometry();
}

void ViewArea::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void ViewArea::scrollContentsBy(int, int) {
    relayout();
}

// The view is a window of its own: its wheel comes here. Ctrl zooms, Shift scrolls across.
bool ViewArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched != frameView || event->type() != QEvent::Wheel)
        return QAbstractScrollArea::eventFilter(watched, event);
    const auto* wheel = static_cast<QWheelEvent*>(event);
    const int notches = wheel->angleDelta().y() / 120;
    if (wheel->modifiers() & Qt::ControlModifier) {
        if (notches != 0) zoomTo(zoomedScale(scale, notches), wheel->position().toPoint());
    } else {
        QScrollBar* bar =
            wheel->modifiers() & Qt::ShiftModifier ? horizontalScrollBar() : verticalScrollBar();
        bar->setValue(bar->value() - notches * kWheelStep);
    }
    return true;
}
