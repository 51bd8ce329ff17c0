#include "qt/window/displaycheck.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {
bool isSet(const QProcessEnvironment &environment, const QString &name)
{
    return !environment.value(name).isEmpty();
}

// Without WAYLAND_DISPLAY a Wayland client still reaches the compositor's first socket.
bool waylandReachable(const QProcessEnvironment &environment)
{
    if (isSet(environment, QStringLiteral("WAYLAND_DISPLAY")))
        return true;
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("wayland-0")));
}

// A platform plugin's name, as QT_QPA_PLATFORM gives it ("xcb", "wayland-egl", "offscreen:size=...").
bool platformHasDisplay(const QString &platform, const QProcessEnvironment &environment)
{
    const QString name = platform.section(QLatin1Char(':'), 0, 0).trimmed();
    if (name == QLatin1String("xcb"))
        return isSet(environment, QStringLiteral("DISPLAY"));
    if (name.startsWith(QLatin1String("wayland")))
        return waylandReachable(environment);
    return true;
}
} // namespace

bool displayAvailable(const QProcessEnvironment &environment)
{
    const QString platforms = environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    // Unset, Qt tries Wayland in a Wayland session and X where DISPLAY is set, else X, which fails.
    if (platforms.trimmed().isEmpty()) {
        const bool waylandSession =
            isSet(environment, QStringLiteral("WAYLAND_DISPLAY")) ||
            environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
        return isSet(environment, QStringLiteral("DISPLAY")) ||
               (waylandSession && waylandReachable(environment));
    }
    // A list is tried in order until one platform loads.
    const QStringList choices = platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return std::any_of(choices.begin(), choices.end(),
                       [&](const QString &platform) { return platformHasDisplay(platform, environment); });
}
