#pragma once

#include <QToolButton>

class ViewArea;

// The button at the right end of the status bar: it shows the view's zoom ("1:1 (100 %)",
// "Zoom 141 %", "Eingepasst: 48 %") and offers the zoom commands, which are also actions of
// `window` for their keys.
class ZoomButton : public QToolButton {
    Q_OBJECT
public:
    ZoomButton(ViewArea* area, QWidget* window, QWidget* parent);
};
