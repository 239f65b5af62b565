#pragma once

#include <QLabel>

// One line of text that shows as much as its width allows, cut with "…" where it is too narrow,
// and gives the whole text as its tool tip. A status bar's own message is clipped without a
// sign of it ("Bild und Erkennungsda"); here the operator sees that text is missing and can
// read it all. Its least width is small, so that a long text never widens the window.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return whole; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Shows the text cut to the width the label has now.
    void elide();

    QString whole;
};
