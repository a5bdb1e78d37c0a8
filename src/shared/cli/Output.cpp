// Turning the bus's dictionaries into the lines and JSON objects the command line prints.
#include "shared/cli/Output.h"

#include "shared/cli/CommandLine.h"

#include <QDBusArgument>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavelin::shared::cli {

namespace {

QString json(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n';
}

qint64 number(const QVariantMap& map, const char* key) { return map.value(key).toLongLong(); }

// Whole numbers without a fraction, others as they are: 80, 83.5.
QString measure(double value) { return QString::number(value, 'g', 10); }

QString onOff(bool value) { return value ? QStringLiteral("on") : QStringLiteral("off"); }

QString rectWords(const QVariantMap& rect)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(number(rect, "x"))
        .arg(number(rect, "y"))
        .arg(number(rect, "width"))
        .arg(number(rect, "height"));
}

}

QJsonObject rectObject(const QVariantMap& rect)
{
    return { { "x", number(rect, "x") }, { "y", number(rect, "y") }, { "width", number(rect, "width") },
        { "height", number(rect, "height") } };
}

QJsonObject stateObject(const QVariantMap& state)
{
    bool window = state.value("target").toString() == QLatin1String("window");
    QJsonObject target = window ? QJsonObject { { "window", qint64(state.value("window").toUInt()) } }
                                : QJsonObject { { "screen", state.value("screen").toString() } };
    return {
        { "visible", state.value("visible").toBool() },
        { "labels", state.value("labels").toBool() },
        { "adjusting", state.value("adjusting").toBool() },
        { "picking", state.value("picking").toBool() },
        { "target", target },
        { "cellWidth", state.value("cellWidth").toDouble() },
        { "cellHeight", state.value("cellHeight").toDouble() },
        { "color", state.value("color").toString() },
        { "frame", rectObject(dictionary(state.value("frame"))) },
        { "scale", state.value("scale").toDouble() },
        { "columns", number(state, "columns") },
        { "rows", number(state, "rows") },
    };
}

QString printed(const QString& text) { return QString::fromStdString(printable(text.toStdString())); }

QVariantMap dictionary(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QString cellText(const QVariantMap& place, bool rect, bool asJson)
{
    auto name = place.value("cell").toString();
    if (asJson) {
        QJsonObject object = rect ? rectObject(place) : QJsonObject { { "x", number(place, "centerX") }, { "y", number(place, "centerY") } };
        object.insert("cell", name);
        return json(object);
    }
    if (rect)
        return rectWords(place) + '\n';
    return QStringLiteral("%1 %2\n").arg(number(place, "centerX")).arg(number(place, "centerY"));
}

QString atText(const QVariantMap& place, qint64 x, qint64 y, bool asJson)
{
    auto name = place.value("cell").toString();
    if (asJson)
        return json({ { "cell", name }, { "x", x }, { "y", y }, { "rect", rectObject(place) } });
    return name + '\n';
}

QString stateText(const QVariantMap& state, bool asJson)
{
    auto frame = dictionary(state.value("frame"));
    bool window = state.value("target").toString() == QLatin1String("window");
    auto windowId = state.value("window").toUInt();
    if (asJson)
        return json(stateObject(state));
    QString text;
    auto line = [&text](const char* name, const QString& value) { text += QLatin1String(name) + ": " + value + '\n'; };
    line("visible", onOff(state.value("visible").toBool()));
    line("labels", onOff(state.value("labels").toBool()));
    line("adjusting", onOff(state.value("adjusting").toBool()));
    line("picking", onOff(state.value("picking").toBool()));
    line("target", window ? QStringLiteral("window 0x%1").arg(windowId, 0, 16) : "screen " + printed(state.value("screen").toString()));
    line("cellWidth", measure(state.value("cellWidth").toDouble()));
    line("cellHeight", measure(state.value("cellHeight").toDouble()));
    line("color", state.value("color").toString());
    line("frame", rectWords(frame));
    line("scale", measure(state.value("scale").toDouble()));
    line("columns", QString::number(number(state, "columns")));
    line("rows", QString::number(number(state, "rows")));
    return text;
}

QString screensText(const QList<QVariantMap>& screens, bool asJson)
{
    if (asJson) {
        QJsonArray list;
        for (auto& s : screens) {
            auto object = rectObject(s);
            object.insert("name", s.value("name").toString());
            object.insert("primary", s.value("primary").toBool());
            object.insert("grid", s.value("grid").toBool());
            list.append(object);
        }
        return json({ { "screens", list } });
    }
    QString text;
    for (auto& s : screens) {
        text += QStringLiteral("%1 %2 %3x%4+%5+%6%7\n")
                    .arg(s.value("grid").toBool() ? "*" : " ")
                    .arg(printed(s.value("name").toString()))
                    .arg(number(s, "width"))
                    .arg(number(s, "height"))
                    .arg(number(s, "x"))
                    .arg(number(s, "y"))
                    .arg(s.value("primary").toBool() ? " primary" : "");
    }
    return text;
}

}
