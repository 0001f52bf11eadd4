#pragma once
// UnreadArguments: which arguments of the scripts' functions no code can
// read, proved from the script files' text alone, so that the caller may
// leave out a costly one (the hex text of a large received block).
//
// Nothing is proved unless the files are plain: outside its functions'
// bodies a file only declares functions (`function f(a, b) {...}`, plain
// parameters) and variables whose values are literals (numbers, strings,
// true, false, null, and arrays and objects of them). Loading such files
// runs no code, so right after loading, a function declared once holds the
// function of its one declaration. An argument of such a function is unread
// when its body never names its parameter, `arguments` or `eval` (a direct
// eval could name it): no code can then reach the value.
//
// Whatever the reader cannot tell for sure (a template, a `/` that may
// start a regular expression or divide, a character outside ASCII in the
// code) makes it prove nothing. That the function called is still the one
// declared, and is called directly, is the engine's to check at each call.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class UnreadArguments
{
public:
    UnreadArguments() = default;
    // The texts of every script file, as evaluated (in order, all loaded).
    explicit UnreadArguments(const QStringList &sources);

    // The functions it knows: declared once, at the top level, the name
    // nowhere else in the texts; none unless every file is plain.
    QStringList functions() const { return m_functions.keys(); }
    // Whether argument index (from 0) of function is never read.
    bool unread(const QString &function, int index) const;
    // Whether json2str is one of those functions, its body is
    // `return JSON.stringify(v);`, and no text can make a value that
    // JSON.stringify reads otherwise than as plain data: no accessor, no
    // property it leaves out, no toJSON, no proxy (no text names the tools
    // for them, not even inside a string), and JSON is only ever read from
    // (`JSON.`). Then the value json2str gives for a list of plain objects,
    // arrays, strings, numbers and booleans is known without calling it,
    // while the global still holds that function and JSON.stringify is the
    // engine's own (the engine's to check at each call). A script that
    // builds such a name at run time out of pieces is beyond this reading.
    bool json2strIsStringify() const { return m_json2strIsStringify; }

private:
    struct Function
    {
        QStringList parameters;
        QSet<QString> names;  // every identifier in its parameter list and body
    };
    QHash<QString, Function> m_functions;
    bool m_json2strIsStringify = false;
};
