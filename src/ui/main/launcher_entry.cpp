#include "ui/main/launcher_entry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace tessarel {

LauncherEntry::LauncherEntry(const QString& desktop_id)
    : uri_(QStringLiteral("application://") + desktop_id + QStringLiteral(".desktop")) {}

void LauncherEntry::Show(TaskProgress state, int percent) {
    if (state == state_ && (state == TaskProgress::kHidden || percent == percent_)) {
        return;
    }
    state_ = state;
    percent_ = percent;
    // The launcher has no paused look: a question waits with the bar where it is. A failure
    // asks for the user's attention.
    QVariantMap properties;
    properties.insert(QStringLiteral("progress-visible"), state != TaskProgress::kHidden);
    properties.insert(QStringLiteral("progress"), percent / 100.0);
    properties.insert(QStringLiteral("urgent"), state == TaskProgress::kFailed);
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/tessarel/Tessarel/LauncherEntry"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    signal << uri_ << properties;
    // Without a session bus (a bare X server, a terminal) there is no one to tell.
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace tessarel
