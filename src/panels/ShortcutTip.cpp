#include "panels/ShortcutTip.h"

QString shortcutTip(QString text, const QKeySequence& keys) {
    if (text.endsWith(QStringLiteral("..."))) text.chop(3);
    if (keys.isEmpty()) return text;
    return QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText));
}
