#pragma once
// ControlAnswer: what a control command answers, and its two written forms.
//
// As text: the rows first, each a line beginning "| ", then one line
// "ok", "ok <value>" or "error: <why>". A row of several fields writes them
// as words (quoted where they hold blanks, as commands are); a row of one
// field writes it as it is, its line breaks and other control characters
// escaped (\r, \n, \xNN), so every row stays one line.
// As JSON: one object on one line: {"answer": "ok"} with "value" when
// there is one and "rows" (an array: an object per row, its fields by
// name) when it lists; {"answer": "error", "why": ...}.

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

// One row: its fields, named, in order.
using ControlRow = QList<QPair<QString, QJsonValue>>;

struct ControlAnswer
{
    bool ok = true;
    QString value;  // ok's value, if any
    QString why;  // an error's reason
    QList<ControlRow> rows;
    bool lists = false;  // a listing: rows are written even when there are none

    static ControlAnswer success(const QString &value = {});
    static ControlAnswer listing(const QList<ControlRow> &rows);
    static ControlAnswer failure(const QString &why);

    // The written forms, ending with a line end.
    QByteArray text() const;
    QByteArray json() const;
};
