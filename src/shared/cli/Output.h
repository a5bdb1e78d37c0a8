// What the command line prints for the running Tavelin's answers: plain text or one JSON object.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace tavelin::shared::cli {

// A cell as the bus describes it: its centre "X Y", or with rect its "X Y W H".
QString cellText(const QVariantMap& place, bool rect, bool json);
// The name of the cell under the pixel x, y.
QString atText(const QVariantMap& place, qint64 x, qint64 y, bool json);
QString stateText(const QVariantMap& state, bool json);
// One line per screen, the grid's marked with "*".
QString screensText(const QList<QVariantMap>& screens, bool json);

// The JSON forms `state --json` prints, also handed to agents.
QJsonObject rectObject(const QVariantMap& rect);
QJsonObject stateObject(const QVariantMap& state);

// Text from elsewhere (a refusal quoting an argument, a screen's name any client may set) as
// printable() makes it: one line, no escape sequences.
QString printed(const QString& text);

// A value that came over the bus as a dictionary (a{sv}), whichever way it was unpacked.
QVariantMap dictionary(const QVariant& value);

}
