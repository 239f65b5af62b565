#pragma once

// Finding the panels' widgets by what the operator sees on them.

#include <QAbstractButton>
#include <QAction>
#include <QLabel>

template <typename Button = QAbstractButton>
Button* buttonShowing(QWidget* panel, const QString& text) {
    for (Button* b : panel->findChildren<Button*>())
        if (b->text() == text) return b;
    return nullptr;
}

inline QLabel* labelShowing(QWidget* panel, const QString& text) {
    for (QLabel* l : panel->findChildren<QLabel*>())
        if (l->text() == text) return l;
    return nullptr;
}

// The window's object of this name, as its form names it ("configLUT", "mainToolBar").
template <typename Object = QAction>
Object* named(QWidget* window, const char* name) {
    return window->findChild<Object*>(QString::fromLatin1(name));
}
