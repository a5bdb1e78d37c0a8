// One org.freedesktop.portal.Screenshot request, non-interactive, answered with a file URI.
#include "wayland/capture/PortalScreenshot.h"

#include "shared/dbus/PortalRequest.h"
#include "wayland/wl/WaylandConnection.h"

#include <wayland-client.h>

#include <QDBusMessage>
#include <QFile>
#include <QImageReader>
#include <QUrl>

#include <cmath>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace tavelin::wayland::capture {

namespace {

// Long enough for a portal started on demand, or one asking the user once.
constexpr int portalTimeoutMs = 30000;

// The portal documents nothing about the file's future: the backends write a fresh one for each
// request (a fixed temporary name, or the user's Pictures folder), which the user never asked for
// beside Tavelin's own. So a regular file of ours, written since we asked, goes once read; any
// other file the answer names stays where it is.
void removeIfMadeForUs(const QString& path, std::time_t askedAt)
{
    struct stat st {};
    auto local = QFile::encodeName(path);
    if (lstat(local.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())
        return;
    // Whole seconds: some filesystems keep no finer time.
    if (st.st_mtime + 1 < askedAt)
        return;
    unlink(local.constData());
}

}

void settleWithCompositor(wl::WaylandConnection& connection)
{
    // On a queue of our own, so that waiting dispatches none of the overlay's events.
    auto* queue = wl_display_create_queue(connection.display());
    wl_display_roundtrip_queue(connection.display(), queue);
    wl_event_queue_destroy(queue);
}

QRect portionOfLayout(const core::Rect& layout, const core::Rect& rect, QSize imageSize)
{
    if (layout.width <= 0 || layout.height <= 0)
        return {};
    double sx = imageSize.width() / layout.width, sy = imageSize.height() / layout.height;
    auto left = int(std::lround((rect.x - layout.x) * sx)), top = int(std::lround((rect.y - layout.y) * sy));
    auto right = int(std::lround((rect.x + rect.width - layout.x) * sx));
    auto bottom = int(std::lround((rect.y + rect.height - layout.y) * sy));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(QRect(QPoint(0, 0), imageSize));
}

QImage shootThroughPortal(wl::WaylandConnection& connection, const core::Rect& rect, std::string& failure)
{
    auto token = shared::dbus::portalToken();
    auto call = QDBusMessage::createMethodCall(shared::dbus::portalService, shared::dbus::portalPath,
        QStringLiteral("org.freedesktop.portal.Screenshot"), QStringLiteral("Screenshot"));
    call << QString() << QVariantMap { { QStringLiteral("handle_token"), token },
        { QStringLiteral("interactive"), false }, { QStringLiteral("modal"), false } };
    auto askedAt = std::time(nullptr);
    QString why;
    auto response = shared::dbus::callPortalAndWait(call, token, portalTimeoutMs, why);
    if (!response) {
        failure = "the desktop's screenshot portal failed: " + why.toStdString();
        return {};
    }
    if (response->code != 0) {
        failure = shared::dbus::portalFailure(QStringLiteral("the screenshot"), *response).toStdString();
        return {};
    }
    auto uri = response->results.value(QStringLiteral("uri")).toString();
    auto path = QUrl(uri).toLocalFile();
    if (path.isEmpty()) {
        failure = "the screenshot portal gave no local file (" + uri.toStdString() + ")";
        return {};
    }
    QImageReader reader(path);
    auto image = reader.read();
    removeIfMadeForUs(path, askedAt);
    if (image.isNull()) {
        failure = "the screenshot portal's file could not be read: " + reader.errorString().toStdString();
        return {};
    }
    core::Rect layout = rect;
    for (auto* out : connection.outputs())
        layout = layout.united(wl::pointFrame(*out));
    auto part = portionOfLayout(layout, rect, image.size());
    if (part.isEmpty()) {
        failure = "the screenshot portal's image does not cover the grid's screen";
        return {};
    }
    return image.copy(part).convertToFormat(QImage::Format_RGB32);
}

}
