#include "workbench.h"

#include "datasubwindow.h"
#include "datawindowarea.h"
#include "datawindow/tfrmdata.h"
#include "endpointnode.h"
#include "kinds.h"
#include "script/actionexecutor.h"
#include "script/calltext.h"
#include "script/scripttimers.h"
#include "script/workspace.h"
#include "tcpclientendpoint.h"
#include "tcpserverendpoint.h"
#include "tmysocket.h"
#include "udp/groupsocket.h"
#include "udp/tnmudp.h"

#include <QMdiArea>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <exception>
#include <iterator>
#include <utility>

Workbench::Workbench(QObject *parent)
    : QObject(parent),
      m_executor(std::make_unique<ActionExecutor>(*this)),
      m_workspace(std::make_unique<Workspace>(*this)),
      m_timers(std::make_unique<ScriptTimers>(*this))
{
}

Workbench::~Workbench()
{
    DestroyAll();
}

void Workbench::attachUi(QWidget *mainWindow, QTreeWidget *tree, QMdiArea *mdi)
{
    m_mainWindow = mainWindow;
    m_tree = tree;
    m_mdi = mdi;
    if (mdi)
        m_area = new DataWindowArea(mdi);
}

void Workbench::WindowRenamed(TFrmData *window, const std::optional<QString> &from,
                              const std::optional<QString> &to)
{
    if (from)
        m_windowsByName.remove(*from, window);
    if (to)
        m_windowsByName.insert(*to, window);
}

TMySocket *Workbench::FindEndpointByName(const QString &name) const
{
    if (!m_tree)
        return nullptr;
    // Every match is a window with that caption: none, none found; exactly
    // one, whose record is on a node of the tree below a root, that one.
    const auto windows = m_windowsByName.equal_range(name);
    if (windows.first == windows.second)
        return nullptr;
    if (std::next(windows.first) == windows.second) {
        TFrmData *window = *windows.first;
        TMySocket *r = window->MySocket;
        if (r && r->window == window && r->node && RecordOf(r->node) == r && r->node->parent()
            && r->node->treeWidget() == m_tree)
            return r;
    }
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        QTreeWidgetItem *item = *it;
        if (!item->parent())
            continue;
        TMySocket *r = RecordOf(item);
        if (r && r->window && r->window->name() == name)
            return r;
    }
    return nullptr;
}

QTreeWidgetItem *Workbench::FindKindRoot(const QString &kind) const
{
    if (!m_tree)
        return nullptr;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->text(0) == kind)
            return *it;
    }
    return nullptr;
}

TMySocket *Workbench::SelectedRecord() const
{
    if (!m_tree)
        return nullptr;
    return RecordOf(m_tree->currentItem());
}

TFrmData *Workbench::CreateDataWindow(TMySocket *record)
{
    // A window of a burst is built when it is first shown, if ever.
    auto *window = new TFrmData(*this, nullptr,
                                m_batchDepth > 0 ? TFrmData::Build::WhenShown : TFrmData::Build::Now);
    window->MySocket = record;
    record->window = window;
    if (m_area && m_batchDepth > 0) {
        m_area->addParked(window);
        m_batchFront = window;
    } else if (m_area) {
        auto *frame = new DataSubWindow;
        frame->setWidget(window);
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        m_area->add(frame);
    }
    return window;
}

void Workbench::BeginPresentationBatch()
{
    ++m_batchDepth;
}

void Workbench::EndPresentationBatch(bool present)
{
    if (m_batchDepth <= 0 || --m_batchDepth > 0 || !present)
        return;
    const QPointer<TMySocket> selected = std::exchange(m_batchSelected, nullptr);
    const QPointer<TFrmData> front = std::exchange(m_batchFront, nullptr);
    // Selecting the node shows its window in front (the tree's handler); a
    // window whose node went or was never selected is shown on its own.
    if (selected && selected->node && m_tree && m_tree->currentItem() != selected->node)
        m_tree->setCurrentItem(selected->node);
    if (front && m_area && (!selected || selected->window != front)) {
        auto *frame = qobject_cast<QMdiSubWindow *>(front->parentWidget());
        if (!frame || m_area->isParked(frame)) {
            front->ensureUi();
            m_area->bringToFront(front.data());
        }
    }
}

PresentationBatch::PresentationBatch(Workbench &wb)
    : m_wb(wb), m_uncaught(std::uncaught_exceptions())
{
    m_wb.BeginPresentationBatch();
}

PresentationBatch::~PresentationBatch() noexcept(false)
{
    if (std::uncaught_exceptions() == m_uncaught) {
        m_wb.EndPresentationBatch(m_present);
        return;
    }
    try {
        m_wb.EndPresentationBatch();
    } catch (...) {
        // the error that is leaving already gets reported
    }
}

EndpointNode *Workbench::AddNode(QTreeWidgetItem *parent, const QString &caption, TMySocket *record,
                                 int stateImage)
{
    auto *node = new EndpointNode(parent, caption, record);
    node->setStateImage(stateImage);
    if (parent)
        parent->setExpanded(true);
    if (m_batchDepth > 0)
        m_batchSelected = record;
    else if (m_tree)
        m_tree->setCurrentItem(node);
    return node;
}

void Workbench::SetStateImage(TMySocket *record, int stateImage)
{
    if (record && record->node)
        record->node->setStateImage(stateImage);
}

void Workbench::Register(std::unique_ptr<TMySocket> record)
{
    m_registry.Register(std::move(record));
}

void Workbench::ScriptEvent(TMySocket *record, const QString &event, const QString &a, int b)
{
    // Same as evaluating CallText::OnSocketEvent(...), without parsing a text
    // that can be twice the size of the received block.
    m_script.CallGlobal(QStringLiteral("OnSocketEvent"),
                        {record->name(), event, a, QString::number(b)});
    RunActions();
}

void Workbench::RunActions()
{
    m_executor->RunActions();
}

void Workbench::ShowEndpoint(TMySocket *record)
{
    if (!record || !m_registry.contains(record) || !record->window)
        return;
    record->window->ensureUi();
    record->window->RefreshStatus();
    if (m_area)
        m_area->bringToFront(static_cast<QWidget *>(record->window.data()));
}

namespace {
// Hides a data window now and destroys it once control is back in the event
// loop, so a handler of that window further up the stack is not pulled away.
void DestroyWindow(TFrmData *window)
{
    if (!window)
        return;
    QWidget *frame = window->parentWidget();
    if (qobject_cast<QMdiSubWindow *>(frame)) {
        frame->hide();
        frame->deleteLater();
    } else {
        window->hide();
        window->deleteLater();
    }
}
} // namespace

void Workbench::DeleteSelected()
{
    TMySocket *selected = SelectedRecord();
    if (!selected)
        return;
    QPointer<TMySocket> r(selected);
    EvalScript(CallText::DeleteSocket(r->name()));
    if (!r)
        return;

    const QString kind = r->kind;
    if (kind == Kind::TcpServer) {
        if (TcpServerEndpoint::LiveConnections(r) > 0)
            return;
        if (auto *server = qobject_cast<QTcpServer *>(r->component.data())) {
            server->close();
            server->deleteLater();
        }
    } else if (kind == Kind::TcpServerClient) {
        // Also when "断开" in another window only set its state to 0: a socket
        // left open would keep the server from ever being deleted.
        auto *socket = qobject_cast<QTcpSocket *>(r->component.data());
        if (r->state > 0 || (socket && socket->state() != QAbstractSocket::UnconnectedState))
            TcpServerEndpoint::CloseConnection(*this, r);
    } else if (kind == Kind::TcpClient) {
        TcpClientEndpoint::Close(*this, r);
        TcpClientEndpoint::Dispose(r);
    } else if (kind == Kind::UdpClient || kind == Kind::UdpServer) {
        if (auto *udp = qobject_cast<TNMUDP *>(r->component.data())) {
            udp->CloseSocket();
            udp->deleteLater();
        }
    } else if (kind == Kind::UdpGroup) {
        if (r->groupSocket) {
            r->groupSocket->close();
            r->groupSocket->deleteLater();
        }
    }
    if (!r)
        return;  // gone while a close handler ran

    DestroyWindow(r->window);
    EndpointNode *node = r->node;
    m_registry.Remove(r);
    delete node;  // with the nodes of its accepted connections
    if (m_registry.count() == 0)
        setWelcomeVisible(true);
}

void Workbench::StopCommand(QWidget *sender)
{
    QPointer<QWidget> button(sender);
    TMySocket *r = SelectedRecord();
    if (!r)
        return;
    if (r->kind == Kind::TcpServer) {
        TcpServerEndpoint::StopListening(*this, r);
    } else if (r->kind == Kind::TcpClient) {
        QPointer<TMySocket> alive(r);
        TcpClientEndpoint::Close(*this, r);
        if (alive) {
            alive->state = 0;
            if (alive->window)
                alive->window->RefreshStatus();
        }
    } else if (r->kind == Kind::TcpServerClient) {
        r->state = 0;
        TcpServerEndpoint::CloseConnection(*this, r);
    }
    if (button)
        button->setEnabled(false);
}

void Workbench::setWelcomeVisible(bool visible)
{
    Q_EMIT welcomeVisibilityRequested(visible);
}

void Workbench::DestroyAll()
{
    for (int i = 0; i < m_registry.count(); ++i) {
        TMySocket *r = m_registry.at(i);
        if (r->window) {
            QWidget *frame = r->window->parentWidget();
            if (qobject_cast<QMdiSubWindow *>(frame))
                delete frame;
            else
                delete r->window.data();
        }
    }
    m_registry.clear();
}

void Workbench::CloseAllListeners()
{
    for (int i = 0; i < m_registry.count(); ++i) {
        TMySocket *r = m_registry.at(i);
        if (r->kind == Kind::TcpServer) {
            if (auto *server = qobject_cast<QTcpServer *>(r->component.data()))
                server->close();
        }
    }
}
