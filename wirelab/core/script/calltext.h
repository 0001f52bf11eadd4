#pragma once
// Every text that the workbench evaluates in the script engine is built here.
// Inserted values are written as JavaScript string literals with full
// escaping, so the script receives exactly the value, whatever it holds.

#include <QString>

namespace CallText {

// The value as a JavaScript string literal between the given quotes:
// backslash, the quote, CR, LF, U+2028, U+2029 and every other control
// character are escaped; everything else stays as it is.
QString JsString(const QString &value, QChar quote = u'"');

QString OnSocketEvent(const QString &name, const QString &event, const QString &a, int b);
QString OnRead(const QString &name, const QString &a, int b);
QString OnConnect(const QString &name, const QString &a, int b);
QString OnDisConnect(const QString &name, const QString &a, int b);
QString OnTimerEvent(const QString &name, const QString &timer);
QString OnButtonClick(const QString &name, const QString &buttonId);  // ...;json2str(actions);
QString OnEditChange(const QString &name, const QString &editId,
                     const QString &text);  // ...;json2str(actions);
QString DeleteSocket(const QString &name);  // single quotes

inline QString OnInit() { return QStringLiteral("OnInit();json2str(sockets);"); }
inline QString JsonActions() { return QStringLiteral("json2str(actions);"); }
inline QString ClearActions() { return QStringLiteral("actions=[];"); }
inline QString JsonSockets() { return QStringLiteral("json2str(sockets);"); }

}  // namespace CallText
