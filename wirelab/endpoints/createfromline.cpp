#include "createfromline.h"

#include "datawindow/tfrmdata.h"
#include "kinds.h"
#include "paramline.h"
#include "portprobe.h"
#include "tcpclientendpoint.h"
#include "tcpserverendpoint.h"
#include "tmysocket.h"
#include "udpendpoints.h"
#include "udpgroupendpoint.h"
#include "workbench.h"

TMySocket *CreateFromLine(Workbench &wb, const QString &line)
{
    // Every number is read before anything exists, so a bad value leaves no
    // half-made endpoint behind.
    const ParamLine p = ReadParamLine(line);

    TMySocket *record = nullptr;
    const QString &kind = p.socketType;
    if (kind == Kind::TcpServer) {
        record = TcpServerEndpoint::Create(wb, p.port, wb.FindKindRoot(kind));
    } else if (kind == Kind::TcpClient) {
        record = TcpClientEndpoint::Create(wb, p.host, p.port, wb.FindKindRoot(kind));
    } else if (kind == Kind::UdpClient) {
        // The script gets no box for a busy port: it simply has no endpoint.
        if (!PortProbe(p.localPort))
            return nullptr;
        record = UdpEndpoints::CreateClient(wb, p.host, p.remotePort, p.localPort,
                                            wb.FindKindRoot(kind));
    } else if (kind == Kind::UdpServer) {
        if (!PortProbe(p.localPort))
            return nullptr;
        record = UdpEndpoints::CreateServer(wb, p.localPort, wb.FindKindRoot(kind));
    } else if (kind == Kind::UdpGroup) {
        if (!PortProbe(p.localPort))
            return nullptr;
        record = UdpGroupEndpoint::Create(wb, p.host, p.port, wb.FindKindRoot(kind),
                                          UdpGroupEndpoint::Path::ParamLine);
    }

    // A creation can show a message box and so let events through; only a
    // record that is still registered is handed back.
    if (!record || !wb.registry().contains(record))
        return nullptr;
    if (record->window)
        record->window->setHexMode(p.hex == 1);
    return record;
}
