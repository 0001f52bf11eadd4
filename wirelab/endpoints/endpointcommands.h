#pragma once
// The endpoint commands of the toolbar: "创建" by the selected kind root
// through that kind's creation dialog, "删除" of the selected endpoint.
// The stop command lives in Workbench::StopCommand.

class QWidget;
class Workbench;
class TfrmNewServerSock;
class TfrmNewClientSock;
class TfrmNewUdpSock;
class TfrmNewGroupSock;
class TfrmNewUDPServer;

class EndpointCommands
{
public:
    // Creates the five dialogs (hidden), in the order of the toolbar's kinds.
    EndpointCommands(Workbench &wb, QWidget *dialogParent);
    ~EndpointCommands();

    void Create();
    void Delete();

    TfrmNewServerSock *frmNewServerSock = nullptr;
    TfrmNewClientSock *frmNewClientSock = nullptr;
    TfrmNewUdpSock *frmNewUdpSock = nullptr;
    TfrmNewGroupSock *frmNewGroupSock = nullptr;
    TfrmNewUDPServer *frmNewUDPServer = nullptr;

private:
    Workbench &m_wb;
};
