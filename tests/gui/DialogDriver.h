#pragma once

// Answers the dialogs the window opens, as an operator would: each in its turn, once it is on
// screen, waiting and in front of every other modal dialog. `answer` reads and closes it;
// without one, a message is confirmed and a file dialog cancelled. What each dialog said is
// noted in the order they were answered: a message box by its text, any other by its title.

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>

class DialogDriver : public QObject {
public:
    std::function<void(QDialog*)> answer;
    QStringList seen;

    DialogDriver() { qApp->installEventFilter(this); }
    ~DialogDriver() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(object);
        // Queued, so that the dialog's own event loop runs before it is closed.
        if (dialog && event->type() == QEvent::Show)
            QTimer::singleShot(0, dialog, [this, dialog] { respond(dialog); });
        return false;
    }

private:
    void respond(QDialog* dialog) {
        if (!dialog->isVisible()) return;
        const QWidget* front = QApplication::activeModalWidget();
        if (front && front != dialog) {
            QTimer::singleShot(10, dialog, [this, dialog] { respond(dialog); });
            return;
        }
        const auto* box = qobject_cast<QMessageBox*>(dialog);
        seen << (box ? box->text() : dialog->windowTitle());
        if (answer)
            answer(dialog);
        else if (qobject_cast<QFileDialog*>(dialog))
            dialog->reject();
        else
            dialog->accept();
    }
};
