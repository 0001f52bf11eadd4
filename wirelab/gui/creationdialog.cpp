#include "gui/creationdialog.h"

#include "guard.h"
#include "gui/dialogseam.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CreationDialog::CreationDialog(const QString &caption, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(caption);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 251, 240));
    setPalette(pal);

    auto *outer = new QVBoxLayout(this);
    m_grid = new QGridLayout;
    outer->addLayout(m_grid);
    outer->addSpacing(8);

    auto *buttons = new QHBoxLayout;
    m_okButton = new QPushButton(tr("确定"), this);
    m_okButton->setObjectName(QStringLiteral("Button1"));
    m_cancelButton = new QPushButton(tr("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("Button2"));
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    outer->addLayout(buttons);

    connect(m_okButton, &QPushButton::clicked, this, guard([this] { confirm(); }));
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

int CreationDialog::run()
{
    setResult(Rejected);
    return DialogSeam::exec(this);
}

QLineEdit *CreationDialog::addBox(const char *labelName, const QString &label, const char *boxName,
                                  const QString &text)
{
    const int row = m_grid->rowCount();
    auto *caption = new QLabel(label, this);
    caption->setObjectName(QLatin1String(labelName));
    auto *box = new QLineEdit(text, this);
    box->setObjectName(QLatin1String(boxName));
    caption->setBuddy(box);
    m_grid->addWidget(caption, row, 0);
    m_grid->addWidget(box, row, 1);
    return box;
}

void CreationDialog::addBelow(QWidget *widget)
{
    m_grid->addWidget(widget, m_grid->rowCount(), 1, Qt::AlignLeft);
}

void CreationDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_activatePending = true;
    if (isActiveWindow())
        activated();
}

void CreationDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        activated();
}

void CreationDialog::activated()
{
    // Once per showing: a message box over the dialog (the port message, a
    // conversion error) hands activation back without wiping what was typed.
    if (!m_activatePending)
        return;
    m_activatePending = false;
    Guarded([this] { prepare(); });
}
