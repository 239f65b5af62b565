#include "app/ZoomButton.h"

#include <QAction>

#include "app/WindowTexts.h"
#include "panels/ShortcutTip.h"
#include "view/ViewArea.h"

ZoomButton::ZoomButton(ViewArea* area, QWidget* window, QWidget* parent) : QToolButton(parent) {
    setObjectName(QStringLiteral("zoomButton"));
    setPopupMode(QToolButton::InstantPopup);
    setAutoRaise(true);
    const auto command = [&](const QString& text, const QKeySequence& keys,
                             void (ViewArea::*zoom)()) {
        auto* action = new QAction(text, window);
        action->setShortcut(keys);
        action->setToolTip(shortcutTip(text, keys));
        connect(action, &QAction::triggered, area, zoom);
        window->addAction(action);
        addAction(action);
    };
    command(QStringLiteral("Vergrößern"), QKeySequence::ZoomIn, &ViewArea::zoomIn);
    command(QStringLiteral("Verkleinern"), QKeySequence::ZoomOut, &ViewArea::zoomOut);
    command(QStringLiteral("Originalgröße (1:1)"), QKeySequence(Qt::CTRL | Qt::Key_0),
            &ViewArea::showActualSize);
    command(QStringLiteral("Ins Fenster einpassen"), QKeySequence(Qt::CTRL | Qt::Key_F),
            &ViewArea::fitToArea);
    connect(area, &ViewArea::zoomChanged, this,
            [this](double scale, bool fitting) { setText(zoomText(scale, fitting)); });
    setText(zoomText(1, false));
    setToolTip(QStringLiteral("Zoom: Strg mit dem Mausrad, Strg+Plus, Strg+Minus"));
}
