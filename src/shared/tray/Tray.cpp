// The tray icon and its menu: a QSystemTrayIcon that Qt shows as a StatusNotifierItem (menu exported as
// com.canonical.dbusmenu) when a host is registered, or docks into an XEmbed tray otherwise.
#include "shared/tray/Tray.h"

#include "shared/OwnWindows.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QShortcut>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include <cassert>
#include <vector>

// Q_INIT_RESOURCE must be used outside any namespace; the resource lives in a static library, so
// nothing else would pull it into the binary.
static void initTavelinResources()
{
    Q_INIT_RESOURCE(tavelin);
}

namespace tavelin::shared::tray {

namespace {

constexpr int iconSizes[] = { 16, 22, 24, 32, 48, 64 };
constexpr int noTrayGraceMs = 5000;
constexpr int trayWatchMs = 1000, trayWatchLooks = 180;
const QString statusNotifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

// Panels ask for different sizes (XEmbed trays pick by their height, StatusNotifier hosts from the
// IconPixmap list), so the SVG is rendered once per common size instead of scaled from one bitmap.
QIcon renderTrayIcon()
{
    initTavelinResources();
    QSvgRenderer svg(QStringLiteral(":/tavelin/tavelin.svg"));
    QIcon icon;
    if (!svg.isValid())
        return icon;
    for (int size : iconSizes) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

// The rows whose check mark follows the grid state; every other row is a plain command.
// QMenu reads '&' as a mnemonic marker; menu titles are shown literally.
QString literalTitle(const std::string& title)
{
    return QString::fromStdString(title).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}

struct Tray::Impl : QObject {
    Impl();
    ~Impl() override;
    void create(const std::string& accessibleName, std::function<void()> notShown);
    void showIcon();
    bool trayRuns() const;
    void trayCame();
    void fill(const core::MenuModel& model);
    QAction* addRow(const core::MenuItem& item);
    void rowTriggered(QAction* action, const core::MenuItem& item);
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void rememberMenuWindow();
    void takeKeyboard();

    // One menu for the whole run: some panels mishandle a replaced context menu, so a rebuild
    // refills this one instead.
    QMenu menu;
    // Key equivalents of the current rows, live while the menu is open (see addRow).
    std::vector<QShortcut*> rowShortcuts;
    std::unique_ptr<QSystemTrayIcon> icon;
    // Run while no tray is there to take the icon.
    QTimer trayWatch;
    std::unique_ptr<QDBusServiceWatcher> watcherArrival;
    std::function<void(const core::MenuItem&)> onTrigger;
    std::function<bool()> hasXEmbedTray;
    uint32_t menuWindow = 0;
};

Tray::Impl::Impl()
{
    menu.installEventFilter(this);
}

Tray::Impl::~Impl()
{
    unregisterOwnTopLevel(menuWindow);
}

void Tray::Impl::create(const std::string& accessibleName, std::function<void()> notShown)
{
    assert(!icon);
    // A StatusNotifierItem takes its Id and Title (what screen readers and overflow lists name
    // the item by) from the application name; the XEmbed icon has no name of its own.
    auto name = QString::fromStdString(accessibleName);
    if (QCoreApplication::applicationName() != name)
        QCoreApplication::setApplicationName(name);
    if (trayRuns()) {
        showIcon();
        return;
    }
    // A panel started with the session may come up after us. Qt settles which kind of tray it
    // talks to at its first question and docks an icon only into a tray there when it is shown,
    // so it is asked nothing until a tray runs. Only one still missing after a while is told.
    QTimer::singleShot(noTrayGraceMs, this, [this, notShown = std::move(notShown)] {
        if (!icon && notShown)
            notShown();
    });
    // A watcher's arrival is told by the bus; an XEmbed tray's is looked for, during the first
    // minutes only: a session's panels are up by then.
    watcherArrival = std::make_unique<QDBusServiceWatcher>(statusNotifierWatcher, QDBusConnection::sessionBus(),
        QDBusServiceWatcher::WatchForRegistration);
    QObject::connect(watcherArrival.get(), &QDBusServiceWatcher::serviceRegistered, this, [this] { trayCame(); });
    trayWatch.setInterval(trayWatchMs);
    QObject::connect(&trayWatch, &QTimer::timeout, this, [this, looks = 0]() mutable {
        if (hasXEmbedTray && hasXEmbedTray())
            trayCame();
        else if (++looks == trayWatchLooks)
            trayWatch.stop();
    });
    trayWatch.start();
}

void Tray::Impl::trayCame()
{
    trayWatch.stop();
    watcherArrival.reset();
    if (!icon)
        showIcon();
}

// Qt's own test: a StatusNotifierWatcher on the session bus (Qt then exports the item), or else
// an XEmbed tray's manager selection.
bool Tray::Impl::trayRuns() const
{
    auto* bus = QDBusConnection::sessionBus().interface();
    if (bus && bus->isServiceRegistered(statusNotifierWatcher))
        return true;
    return hasXEmbedTray && hasXEmbedTray();
}

void Tray::Impl::showIcon()
{
    icon = std::make_unique<QSystemTrayIcon>(renderTrayIcon());
    icon->setContextMenu(&menu);
    QObject::connect(icon.get(), &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) { iconActivated(reason); });
    icon->show();
}

void Tray::Impl::fill(const core::MenuModel& model)
{
    menu.clear();
    for (auto* shortcut : rowShortcuts)
        delete shortcut;
    rowShortcuts.clear();
    for (const auto& item : model.items)
        addRow(item);
}

QAction* Tray::Impl::addRow(const core::MenuItem& item)
{
    if (item.isSeparator)
        return menu.addSeparator();
    auto* action = menu.addAction(literalTitle(item.title));
    action->setEnabled(item.enabled && item.action != core::Command::none);
    if (item.checkable) {
        action->setCheckable(true);
        action->setChecked(item.checked);
    }
    if (item.action == core::Command::none)
        return action;
    QObject::connect(action, &QAction::triggered, this, [this, action, item] { rowTriggered(action, item); });
    if (auto keys = QKeySequence::fromString(QString::fromStdString(item.shortcut)); !keys.isEmpty()) {
        // The action's own shortcut labels the row (and the exported menu) but never fires: Qt
        // matches a menu action's shortcut through the menu's parent, and a tray menu has none. A
        // shortcut on the menu widget is live exactly while the open menu has the keyboard.
        action->setShortcut(keys);
        auto* shortcut = new QShortcut(keys, &menu);
        QObject::connect(shortcut, &QShortcut::activated, action, [this, action] {
            menu.hide();
            action->trigger();
        });
        rowShortcuts.push_back(shortcut);
    }
    return action;
}

// A checkable QAction flips its own mark when triggered; the mark shows the grid state as of the
// last rebuild, so it is put back. The command runs on the next loop turn, because it may refill
// this menu, which must not happen inside the menu's own signal.
void Tray::Impl::rowTriggered(QAction* action, const core::MenuItem& item)
{
    if (action->isCheckable())
        action->setChecked(item.checked);
    if (!onTrigger)
        return;
    QMetaObject::invokeMethod(this, [handler = onTrigger, item] { handler(item); }, Qt::QueuedConnection);
}

// A left click opens the menu, as the right click does. On an XEmbed icon Qt reports it as a
// trigger. A StatusNotifier host shows the exported menu on a right click, but on a left click it
// asks the item to activate (Qt's item says it is not menu-only), and Xfce's or KDE's panel then
// shows nothing of its own: the menu opens at the pointer, over the panel. Under the offscreen
// platform (the Wayland backend) no menu of ours can show.
void Tray::Impl::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger || !icon || menu.isVisible())
        return;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    menu.popup(QCursor::pos());
}

bool Tray::Impl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &menu && event->type() == QEvent::Show) {
        rememberMenuWindow();
        QMetaObject::invokeMethod(this, [this] { takeKeyboard(); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

// The menu's X window counts as ours once it exists (it is made on first show), so key monitors
// and window lists tell it apart from other applications' windows.
void Tray::Impl::rememberMenuWindow()
{
    auto id = static_cast<uint32_t>(menu.winId());
    if (id == menuWindow)
        return;
    unregisterOwnTopLevel(menuWindow);
    registerOwnTopLevel(id);
    menuWindow = id;
}

// The keyboard grab Qt asks for when a popup opens does not hold for this menu (checked under
// Xvfb and openbox: no grab is active once it is on screen). Inside a focused application that
// goes unnoticed, but a tray menu opens while another application has the focus, and arrow keys,
// Return, Escape and Ctrl+Q would go there. The grab is taken again once the menu is mapped; X
// releases it by itself when the menu unmaps.
void Tray::Impl::takeKeyboard()
{
    if (!menu.isVisible())
        return;
    if (auto* window = menu.windowHandle())
        window->setKeyboardGrabEnabled(true);
}

Tray::Tray()
    : m_impl(std::make_unique<Impl>())
{
}

Tray::~Tray() = default;

void Tray::create(const std::string& accessibleName, std::function<void()> notShown, std::function<bool()> hasXEmbedTray)
{
    m_impl->hasXEmbedTray = std::move(hasXEmbedTray);
    m_impl->create(accessibleName, std::move(notShown));
}

void Tray::setMenu(const core::MenuModel& menu, std::function<void(const core::MenuItem&)> onTrigger)
{
    m_impl->onTrigger = std::move(onTrigger);
    m_impl->fill(menu);
}

}
