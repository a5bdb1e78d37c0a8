// Carrying out the MCP tools: checked arguments, one bus call each, answers as structured results.
#include "shared/mcp/GridTools.h"

#include "core/CommandSet.h"
#include "shared/cli/Output.h"
#include "shared/xdg/UserDirs.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDBusError>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace tavelin::shared::mcp {

namespace {

constexpr auto startTimeout = std::chrono::seconds(10);

ToolResult structured(const QJsonObject& value, QJsonArray content = {})
{
    content.append(QJsonObject { { "type", "text" },
        { "text", QString::fromUtf8(QJsonDocument(value).toJson(QJsonDocument::Compact)) } });
    return { { "content", content }, { "structuredContent", value } };
}

// The first key not in allowed, as a message.
std::optional<QString> unknownKey(const QJsonObject& arguments, const QStringList& allowed)
{
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (!allowed.contains(it.key()))
            return "unknown argument \"" + clippedText(it.key()) + "\" ("
                + (allowed.isEmpty() ? QStringLiteral("this tool takes none") : "expected: " + allowed.join(", ")) + ")";
    }
    return std::nullopt;
}

bool isWhole(const QJsonValue& value)
{
    return value.isDouble() && std::isfinite(value.toDouble()) && std::trunc(value.toDouble()) == value.toDouble()
        && std::abs(value.toDouble()) < 9.0e15;
}

QString onOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }

// A process that ended (or never was) cannot still be starting Tavelin; a zombie counts as ended.
bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    auto line = stat.readAll();
    auto afterName = line.lastIndexOf(')');
    return afterName < 0 || line.mid(afterName + 2, 1) == "Z";
}

// The log of the Tavelin this server starts, in the state home (replaced at each start), or empty
// when there is no folder to keep it in.
QString startLog()
{
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return {};
    auto folder = QString::fromStdString(xdg::stateHome(home)) + QStringLiteral("/tavelin");
    return QDir().mkpath(folder) ? folder + QStringLiteral("/tavelin.log") : QString();
}

// Why the Tavelin just started ended at once, in its own words from its log.
QString startFailure(const QString& log)
{
    QFile file(log);
    auto words = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(2000)).trimmed() : QString();
    if (words.isEmpty())
        return QStringLiteral("Tavelin could not start (no display here?)");
    return QStringLiteral("Tavelin could not start: ") + words.replace('\n', QStringLiteral("; "));
}

QJsonObject placeObject(const QVariantMap& place, const QString& position)
{
    auto x = place.value("x").toLongLong(), y = place.value("y").toLongLong();
    auto right = x + place.value("width").toLongLong() - 1, bottom = y + place.value("height").toLongLong() - 1;
    qint64 px = place.value("centerX").toLongLong(), py = place.value("centerY").toLongLong();
    if (position == "top-left")
        px = x, py = y;
    else if (position == "top-right")
        px = right, py = y;
    else if (position == "bottom-left")
        px = x, py = bottom;
    else if (position == "bottom-right")
        px = right, py = bottom;
    return { { "cell", place.value("cell").toString() }, { "x", px }, { "y", py }, { "rect", cli::rectObject(place) } };
}

}

GridTools::Reply GridTools::call(const char* method, const QVariantList& arguments)
{
    auto reply = m_proxy.call(method, arguments);
    if (auto* error = std::get_if<dbus::CallError>(&reply))
        return error->message;
    return std::get<QVariantList>(reply).value(0);
}

std::optional<QString> GridTools::ensureRunning()
{
    if (!m_proxy.bus().isConnected())
        return "no session bus, so no Tavelin to reach: " + m_proxy.bus().lastError().message();
    if (m_proxy.isRunning())
        return std::nullopt;
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    // Our standard output is the protocol's channel: Tavelin must never write into it. Nor does it
    // keep our stderr: Tavelin outlives this server, and a client reading that pipe to its end
    // would wait for as long as the grid runs. Its messages go to a log of its own.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    auto log = startLog();
    process.setStandardErrorFile(log.isEmpty() ? QProcess::nullDevice() : log);
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        return "could not start Tavelin: " + process.errorString();
    auto deadline = std::chrono::steady_clock::now() + startTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_proxy.isRunning())
            return std::nullopt;
        if (processGone(pid))
            return m_proxy.isRunning() ? std::nullopt : std::optional<QString>(startFailure(log));
        QThread::msleep(50);
    }
    return QStringLiteral("Tavelin did not appear on the session bus within 10 seconds");
}

std::optional<ToolResult> GridTools::call(const QString& name, const QJsonObject& arguments)
{
    using Run = ToolResult (GridTools::*)(const QJsonObject&);
    static const std::pair<const char*, Run> tools[] = {
        { "screenshot", &GridTools::screenshot },
        { "cell_to_point", &GridTools::cellToPoint },
        { "point_to_cell", &GridTools::pointToCell },
        { "get_grid", &GridTools::getGrid },
        { "set_grid", &GridTools::setGrid },
    };
    for (auto& [toolName, run] : tools) {
        if (name != QLatin1String(toolName))
            continue;
        if (auto problem = ensureRunning())
            return toolError(*problem);
        return (this->*run)(arguments);
    }
    return std::nullopt;
}

ToolResult GridTools::stateResult()
{
    auto state = call("State");
    if (auto* problem = std::get_if<QString>(&state))
        return toolError(*problem);
    return structured(cli::stateObject(cli::dictionary(std::get<QVariant>(state))));
}

ToolResult GridTools::getGrid(const QJsonObject& arguments)
{
    if (auto unknown = unknownKey(arguments, {}))
        return toolError(*unknown);
    return stateResult();
}

ToolResult GridTools::screenshot(const QJsonObject& arguments)
{
    if (auto unknown = unknownKey(arguments, { "labels", "max_width" }))
        return toolError(*unknown);
    auto labelsArgument = arguments.value("labels");
    if (!labelsArgument.isUndefined() && !labelsArgument.isBool())
        return toolError("labels is true or false");
    auto maxWidth = arguments.value("max_width");
    if (!maxWidth.isUndefined() && (!isWhole(maxWidth) || maxWidth.toDouble() < 16))
        return toolError("max_width is a whole number of pixels, at least 16");

    auto before = call("State");
    if (auto* problem = std::get_if<QString>(&before))
        return toolError(*problem);
    auto state = cli::dictionary(std::get<QVariant>(before));
    bool wasVisible = state.value("visible").toBool(), hadLabels = state.value("labels").toBool();
    bool labels = labelsArgument.toBool(true);
    // The picture as asked; the user's grid as it was afterwards.
    if (!wasVisible)
        call("Grid", { onOff(true) });
    if (labels != hadLabels)
        call("Labels", { onOff(labels) });
    auto shot = call("ShotPng");
    if (labels != hadLabels)
        call("Labels", { onOff(hadLabels) });
    if (!wasVisible)
        call("Grid", { onOff(false) });
    if (auto* problem = std::get_if<QString>(&shot))
        return toolError(*problem);

    auto png = std::get<QVariant>(shot).toByteArray();
    QImage image;
    if (!image.loadFromData(png, "PNG"))
        return toolError("the screenshot Tavelin took is not a PNG image");
    auto frame = cli::dictionary(state.value("frame"));
    // Compared as a double: a width past int's range (toInt() gives 0 there) asks for no shrinking.
    if (!maxWidth.isUndefined() && image.width() > maxWidth.toDouble()) {
        image = image.scaledToWidth(static_cast<int>(maxWidth.toDouble()), Qt::SmoothTransformation);
        png.clear();
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    // Below 1 where max_width shrank it; on Wayland also where the grid's output counts its pixels
    // otherwise than the first output, whose pixels positions are in.
    double frameWidth = frame.value("width").toDouble();
    double imageScale = frameWidth > 0 ? image.width() / frameWidth : 1;
    double scale = state.value("scale").toDouble();
    QJsonObject geometry {
        { "image", QJsonObject { { "width", image.width() }, { "height", image.height() }, { "scale", imageScale } } },
        { "frame", cli::rectObject(frame) },
        { "scale", scale },
        { "cell", QJsonObject { { "width", state.value("cellWidth").toDouble() * scale }, { "height", state.value("cellHeight").toDouble() * scale } } },
        { "columns", state.value("columns").toLongLong() },
        { "rows", state.value("rows").toLongLong() },
        { "target", cli::stateObject(state).value("target") },
    };
    // Where the cells start, so the bands' sizes and every cell follow from one corner.
    if (auto first = call("Cell", { QStringLiteral("A1") }); std::holds_alternative<QVariant>(first)) {
        auto a1 = cli::dictionary(std::get<QVariant>(first));
        auto x = a1.value("x").toLongLong(), y = a1.value("y").toLongLong();
        geometry.insert("first_cell", QJsonObject { { "x", x }, { "y", y } });
        geometry.insert("bands", QJsonObject { { "left", x - frame.value("x").toLongLong() }, { "top", y - frame.value("y").toLongLong() } });
    }
    QJsonArray content { QJsonObject { { "type", "image" }, { "mimeType", "image/png" }, { "data", QString::fromLatin1(png.toBase64()) } } };
    return structured(geometry, content);
}

ToolResult GridTools::cellToPoint(const QJsonObject& arguments)
{
    if (auto unknown = unknownKey(arguments, { "cell", "position" }))
        return toolError(*unknown);
    if (!arguments.value("cell").isString())
        return toolError("cell is a cell's name, such as \"C4\"");
    auto position = arguments.value("position").toString("center");
    static const QStringList positions { "center", "top-left", "top-right", "bottom-left", "bottom-right" };
    if (!arguments.value("position").isUndefined() && (!arguments.value("position").isString() || !positions.contains(position)))
        return toolError("position is one of: " + positions.join(", "));
    auto place = call("Cell", { arguments.value("cell").toString() });
    if (auto* problem = std::get_if<QString>(&place))
        return toolError(*problem);
    return structured(placeObject(cli::dictionary(std::get<QVariant>(place)), position));
}

ToolResult GridTools::pointToCell(const QJsonObject& arguments)
{
    if (auto unknown = unknownKey(arguments, { "x", "y" }))
        return toolError(*unknown);
    if (!isWhole(arguments.value("x")) || !isWhole(arguments.value("y")))
        return toolError("x and y are whole root-window pixels");
    auto x = qlonglong(arguments.value("x").toDouble()), y = qlonglong(arguments.value("y").toDouble());
    auto place = call("At", { x, y });
    if (auto* problem = std::get_if<QString>(&place))
        return toolError(*problem);
    auto found = cli::dictionary(std::get<QVariant>(place));
    auto object = placeObject(found, "center");
    return structured(object);
}

ToolResult GridTools::setGrid(const QJsonObject& a)
{
    if (auto unknown = unknownKey(a, { "visible", "labels", "cell_width", "cell_height", "color", "screen", "window", "full_screen" }))
        return toolError(*unknown);
    for (auto key : { "visible", "labels", "full_screen" }) {
        if (a.contains(key) && !a.value(key).isBool())
            return toolError(QString::fromLatin1(key) + " is true or false");
    }
    for (auto key : { "cell_width", "cell_height" }) {
        if (a.contains(key) && !a.value(key).isDouble())
            return toolError(QString::fromLatin1(key) + " is a number of points, 20 to 400");
    }
    for (auto key : { "color", "screen" }) {
        if (a.contains(key) && !a.value(key).isString())
            return toolError(QString::fromLatin1(key) + " is a name");
    }
    if (a.contains("window") && (!isWhole(a.value("window")) || a.value("window").toDouble() < 1 || a.value("window").toDouble() > 0xFFFFFFFF))
        return toolError("window is a window id (a positive whole number)");
    // A screen puts the grid over it, full screen: no window to follow then.
    if (a.contains("window") && (a.value("full_screen").toBool() || a.contains("screen")))
        return toolError(QStringLiteral("give window or ") + (a.contains("screen") ? "screen" : "full_screen") + ", not both");

    // A refusal leaves everything as it was. A size or colour the running Tavelin will refuse, by the
    // rules it checks, goes alone, to be refused in its own words; else the window or the screen, which
    // only it can tell, goes first.
    struct Step {
        const char* method;
        QVariantList arguments;
        bool refused = false;
    };
    std::vector<Step> steps;
    if (a.contains("window"))
        steps.push_back({ "Follow", { QVariant::fromValue(uint(a.value("window").toDouble())) } });
    if (a.contains("screen"))
        steps.push_back({ "Screen", { a.value("screen").toString() } });
    if (a.contains("cell_width") || a.contains("cell_height")) {
        auto now = call("State");
        auto current = std::holds_alternative<QVariant>(now) ? cli::dictionary(std::get<QVariant>(now)) : QVariantMap();
        double width = a.value("cell_width").toDouble(a.contains("cell_height") ? current.value("cellWidth").toDouble() : 0);
        double height = a.value("cell_height").toDouble(width);
        steps.push_back({ "Size", { width, height }, !core::isCellSize(width) || !core::isCellSize(height) });
    }
    if (a.contains("color")) {
        auto name = a.value("color").toString();
        steps.push_back({ "Color", { name }, !core::gridColorNamed(name.toStdString()) });
    }
    if (a.value("full_screen").toBool())
        steps.push_back({ "FullScreen", {} });
    if (a.contains("visible"))
        steps.push_back({ "Grid", { onOff(a.value("visible").toBool()) } });
    if (a.contains("labels"))
        steps.push_back({ "Labels", { onOff(a.value("labels").toBool()) } });
    if (auto refused = std::find_if(steps.begin(), steps.end(), [](auto& step) { return step.refused; }); refused != steps.end()) {
        Step alone = *refused;
        steps = { alone };
    }
    for (auto& step : steps) {
        if (auto problem = call(step.method, step.arguments); std::holds_alternative<QString>(problem))
            return toolError(std::get<QString>(problem));
    }
    return stateResult();
}

}
