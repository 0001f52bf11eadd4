#include "creationdialog.h"

#include "common/guard.h"
#include "common/uiseam.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CreationDialog::CreationDialog(const QString &caption, QWidget *parent)
    : QDialog(parent)
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
    Button1 = new QPushButton(tr("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(tr("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    outer->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, guard([this] { OkClick(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

int CreationDialog::Run()
{
    setResult(Rejected);
    return UiSeam::execDialog(this);
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
    Guarded([this] { FormActivate(); });
}
