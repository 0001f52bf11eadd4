#include "gui/creationdialog.h"

#include "core/net/adapterinfo.h"
#include "guard.h"
#include "gui/dialogseam.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
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
    auto *box = new QLineEdit(text, this);
    box->setObjectName(QLatin1String(boxName));
    addRow(labelName, label, box);
    return box;
}

QWidget *CreationDialog::addRow(const char *labelName, const QString &label, QWidget *field)
{
    const int row = m_grid->rowCount();
    auto *caption = new QLabel(label, this);
    caption->setObjectName(QLatin1String(labelName));
    caption->setBuddy(field);
    m_grid->addWidget(caption, row, 0);
    m_grid->addWidget(field, row, 1);
    return field;
}

void CreationDialog::addBelow(QWidget *widget)
{
    m_grid->addWidget(widget, m_grid->rowCount(), 1, Qt::AlignLeft);
}

void CreationDialog::addLocalAddresses()
{
    m_addresses = new QLabel(this);
    m_addresses->setObjectName(QStringLiteral("TextAddresses"));
    m_addresses->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addRow("LabelAddresses", tr("本机地址:"), m_addresses);
}

namespace {

// A box for a file's path with a button beside it that picks the file.
QLineEdit *FileBox(QWidget *dialog, QGridLayout *grid, const QString &label, const char *name)
{
    const int row = grid->rowCount();
    auto *caption = new QLabel(label, dialog);
    auto *box = new QLineEdit(dialog);
    box->setObjectName(QStringLiteral("Edit") + QLatin1String(name));
    auto *pick = new QPushButton(CreationDialog::tr("浏览..."), dialog);
    pick->setObjectName(QStringLiteral("Button") + QLatin1String(name));
    caption->setBuddy(box);
    auto *line = new QHBoxLayout;
    line->addWidget(box, 1);
    line->addWidget(pick);
    grid->addWidget(caption, row, 0);
    grid->addLayout(line, row, 1);
    QObject::connect(pick, &QPushButton::clicked, dialog, guard([dialog, box, label] {
                         QFileDialog files(dialog, label.trimmed());
                         files.setFileMode(QFileDialog::ExistingFile);
                         files.setNameFilters({CreationDialog::tr("PEM 文件 (*.pem *.crt *.key)"),
                                               CreationDialog::tr("所有文件 (*)")});
                         if (!box->text().isEmpty())
                             files.selectFile(box->text());
                         if (DialogSeam::exec(&files) == QDialog::Accepted
                             && !files.selectedFiles().isEmpty())
                             box->setText(QDir::toNativeSeparators(files.selectedFiles().first()));
                     }));
    return box;
}

}  // namespace

CreationDialog::TlsBoxes CreationDialog::addTlsBoxes(bool server, bool tlsChosen)
{
    TlsBoxes b;
    b.tls = new QCheckBox(tr("TLS 加密"), this);
    b.tls->setObjectName(QStringLiteral("CheckTls"));
    addBelow(b.tls);
    b.cert = FileBox(this, m_grid, tr("证书文件:  "), "Cert");
    b.key = FileBox(this, m_grid, tr("私钥文件:  "), "Key");
    b.ca = FileBox(this, m_grid, tr("CA 文件:   "), "Ca");
    b.check = new QCheckBox(server ? tr("要求客户端证书") : tr("验证服务器证书"), this);
    b.check->setObjectName(server ? QStringLiteral("CheckRequireCert") : QStringLiteral("CheckVerify"));
    b.check->setChecked(!server);
    addBelow(b.check);
    const auto enable = [b](bool on) {
        for (QWidget *w : {static_cast<QWidget *>(b.cert), static_cast<QWidget *>(b.key),
                           static_cast<QWidget *>(b.ca), static_cast<QWidget *>(b.check)}) {
            w->setEnabled(on);
            if (QWidget *pick = w->parentWidget()->findChild<QPushButton *>(
                    QStringLiteral("Button") + w->objectName().mid(4), Qt::FindDirectChildrenOnly))
                pick->setEnabled(on);
        }
    };
    connect(b.tls, &QCheckBox::toggled, this, enable);
    b.tls->setChecked(tlsChosen);
    enable(tlsChosen);
    return b;
}

TlsCredentials CreationDialog::readTls(const TlsBoxes &b, bool server)
{
    return TlsCredentials::read({b.cert->text().trimmed(), b.key->text().trimmed(), b.ca->text().trimmed()},
                                server);
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
    if (m_addresses)
        m_addresses->setText(localAddresses(systemAdapters()).join(u'\n'));
    Guarded([this] { prepare(); });
}
