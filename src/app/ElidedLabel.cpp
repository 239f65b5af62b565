#include "app/ElidedLabel.h"

#include <QResizeEvent>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text) {
    whole = text;
    setToolTip(text);
    updateGeometry();
    elide();
}

QSize ElidedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    return {
        fontMetrics().horizontalAdvance(whole) + 2 * margin() + margins.left() + margins.right(),
        QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("W…")),
            QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    setText(fontMetrics().elidedText(whole, Qt::ElideRight, contentsRect().width() - 2 * margin()));
}
