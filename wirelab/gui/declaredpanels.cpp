#include "gui/declaredpanels.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/workbench/panels.h"
#include "guard.h"
#include "gui/datawindow.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int RowHeight = 40;
}  // namespace

DeclaredPanels::DeclaredPanels(Panels &panels, WindowOf windowOf, QObject *parent)
    : QObject(parent), m_panels(panels), m_windowOf(std::move(windowOf))
{
    connect(&panels, &Panels::rowAdded, this, [this](Endpoint *e, int row) { addRow(e, row); });
    connect(&panels, &Panels::itemAdded, this, [this](Endpoint *e, int index) { addItem(e, index); });
    connect(&panels, &Panels::textChanged, this,
            [this](Endpoint *e, int index, const QString &text) { showText(e, index, text); });
    connect(&panels, &Panels::ownControlText, this,
            [this](Endpoint *e, const QString &type, const QString &id, const QString &text) {
                showOwnControlText(e, type, id, text);
            });
}

void DeclaredPanels::addRow(Endpoint *endpoint, int row)
{
    DataWindow *window = m_windowOf(endpoint);
    if (!window)
        return;
    View &view = m_views[endpoint];
    if (view.rows.isEmpty()) {
        // A new window for the same address later starts afresh.
        connect(endpoint, &QObject::destroyed, this, [this, endpoint] { m_views.remove(endpoint); });
    }
    auto *frame = new QGroupBox(window->panelHost());
    frame->setFixedHeight(RowHeight);
    auto *rowLayout = new QHBoxLayout(frame);
    rowLayout->setContentsMargins(2, 2, 2, 2);
    rowLayout->setSpacing(2);
    rowLayout->addStretch();
    window->panelRowsLayout()->addWidget(frame);
    while (view.rows.size() < row)
        view.rows.append(nullptr);
    view.rows.append(frame);
}

void DeclaredPanels::addItem(Endpoint *endpoint, int index)
{
    const QList<Panels::Item> items = m_panels.items(endpoint);
    if (index < 0 || index >= items.size())
        return;
    const Panels::Item &item = items.at(index);
    View &view = m_views[endpoint];
    while (view.items.size() < index)
        view.items.append(nullptr);
    QGroupBox *frame = item.row < view.rows.size() ? view.rows.at(item.row).data() : nullptr;
    if (!frame) {
        view.items.append(nullptr);
        return;
    }
    auto *rowLayout = static_cast<QHBoxLayout *>(frame->layout());
    const QPointer<Endpoint> owner(endpoint);
    Panels *panels = &m_panels;
    QWidget *widget = nullptr;
    switch (item.type) {
    case Panels::Item::Type::Button: {
        auto *button = new QPushButton(item.text, frame);
        connect(button, &QPushButton::clicked, button, guard([panels, owner, index] {
                    if (owner)
                        panels->clickAt(*owner, index);
                }));
        widget = button;
        break;
    }
    case Panels::Item::Type::Edit: {
        auto *edit = new QLineEdit(item.text, frame);
        connect(edit, &QLineEdit::textChanged, edit, guard([panels, owner, index](const QString &text) {
                    if (owner)
                        panels->setTextAt(*owner, index, text);
                }));
        widget = edit;
        break;
    }
    case Panels::Item::Type::Label: {
        auto *label = new QLabel(item.text, frame);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::NoFrame);
        label->setFixedWidth(item.width);
        label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        widget = label;
        break;
    }
    }
    widget->setObjectName(item.id);
    rowLayout->insertWidget(rowLayout->count() - 1, widget);
    view.items.append(widget);
}

void DeclaredPanels::showText(Endpoint *endpoint, int index, const QString &text)
{
    const View view = m_views.value(endpoint);
    QWidget *widget = index >= 0 && index < view.items.size() ? view.items.at(index).data() : nullptr;
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        if (button->text() != text)
            button->setText(text);
    }
}

void DeclaredPanels::showOwnControlText(Endpoint *endpoint, const QString &type, const QString &id,
                                        const QString &text)
{
    // The refresh finds controls by name in the whole window, its own
    // designed ones too; those are not connected to the script.
    DataWindow *window = m_windowOf(endpoint);
    if (!window)
        return;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->objectName().compare(id, Qt::CaseInsensitive) != 0)
            continue;
        if (auto *edit = qobject_cast<QLineEdit *>(w); edit && type == QLatin1String("Edit")) {
            if (edit->text() != text)
                edit->setText(text);
        } else if (auto *button = qobject_cast<QPushButton *>(w); button && type == QLatin1String("Button")) {
            if (button->text() != text)
                button->setText(text);
        }
        return;
    }
}
