#pragma once
// DeclaredPanels: the window's view of the script's panels (Panels in the
// core): each endpoint's rows of buttons, edit boxes and labels, built at
// the top of its data window. The buttons' and edit boxes' object names are
// their IDs; a press or a typed text goes back to the panels.

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class DataWindow;
class Endpoint;
class Panels;
class QGroupBox;
class QWidget;

class DeclaredPanels : public QObject
{
    Q_OBJECT
public:
    // The data window of an endpoint, or nullptr.
    using WindowOf = std::function<DataWindow *(const Endpoint *)>;

    DeclaredPanels(Panels &panels, WindowOf windowOf, QObject *parent = nullptr);

private:
    void addRow(Endpoint *endpoint, int row);
    void addItem(Endpoint *endpoint, int index);
    void showText(Endpoint *endpoint, int index, const QString &text);
    void showOwnControlText(Endpoint *endpoint, const QString &type, const QString &id, const QString &text);

    struct View
    {
        QList<QPointer<QGroupBox>> rows;
        QList<QPointer<QWidget>> items;  // by the panels' index
    };

    Panels &m_panels;
    WindowOf m_windowOf;
    QHash<const Endpoint *, View> m_views;
};
