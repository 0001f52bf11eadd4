<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Addresses</name>
    <message>
        <source>BIND %1 不是 IPv4 或 IPv6 地址</source>
        <translation>BIND %1 is not an IPv4 or IPv6 address</translation>
    </message>
    <message>
        <source>BIND %1 不是本机的地址</source>
        <translation>BIND %1 is not an address of this machine</translation>
    </message>
</context>
<context>
    <name>CreationDialog</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>本机地址:</source>
        <translation>Local addresses:</translation>
    </message>
    <message>
        <source>PEM 文件 (*.pem *.crt *.key)</source>
        <translation>PEM files (*.pem *.crt *.key)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>TLS 加密</source>
        <translation>TLS encryption</translation>
    </message>
    <message>
        <source>证书文件:  </source>
        <translation>Certificate:  </translation>
    </message>
    <message>
        <source>私钥文件:  </source>
        <translation>Private key:  </translation>
    </message>
    <message>
        <source>CA 文件:   </source>
        <translation>CA file:   </translation>
    </message>
    <message>
        <source>要求客户端证书</source>
        <translation>Require a client certificate</translation>
    </message>
    <message>
        <source>验证服务器证书</source>
        <translation>Verify the server's certificate</translation>
    </message>
</context>
<context>
    <name>DataWindow</name>
    <message>
        <source>数据发送窗口[HEX模式]</source>
        <translation>Send [HEX mode]</translation>
    </message>
    <message>
        <source>数据发送窗口(文本模式)</source>
        <translation>Send (text mode)</translation>
    </message>
    <message>
        <source>Socket状态</source>
        <translation>Socket state</translation>
    </message>
    <message>
        <source>数据接收及提示窗口</source>
        <translation>Received data and notices</translation>
    </message>
    <message>
        <source>发送数据</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>重复发送次数</source>
        <translation>Repeat count</translation>
    </message>
    <message>
        <source>间隔(ms)</source>
        <translation>Interval (ms)</translation>
    </message>
    <message>
        <source>定时发送</source>
        <translation>Timed send</translation>
    </message>
    <message>
        <source>停止定时发送</source>
        <translation>Stop timed send</translation>
    </message>
    <message>
        <source>十六进制格式</source>
        <translation>Hexadecimal</translation>
    </message>
    <message>
        <source>统计清零</source>
        <translation>Reset counters</translation>
    </message>
    <message>
        <source>对方IP:%1</source>
        <translation>Peer IP: %1</translation>
    </message>
    <message>
        <source>对方端口:%1</source>
        <translation>Peer port: %1</translation>
    </message>
    <message>
        <source>本地端口:%1</source>
        <translation>Local port: %1</translation>
    </message>
    <message>
        <source>已启动</source>
        <translation>Listening</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>启动监听</source>
        <translation>Start listening</translation>
    </message>
    <message>
        <source>停止监听</source>
        <translation>Stop listening</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>已断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>已打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>已关闭</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>设备:%1</source>
        <translation>Device: %1</translation>
    </message>
    <message>
        <source>参数:%1</source>
        <translation>Settings: %1</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>组播地址:%1</source>
        <translation>Group address: %1</translation>
    </message>
    <message>
        <source>组播端口:%1</source>
        <translation>Group port: %1</translation>
    </message>
    <message>
        <source>收：%1字节，发:%2字节</source>
        <translation>Rx %1 B, Tx %2 B</translation>
    </message>
</context>
<context>
    <name>ErrorReport</name>
    <message>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
</context>
<context>
    <name>EndpointRegistry</name>
    <message>
        <source>端口 %1 已被占用</source>
        <translation>port %1 is in use</translation>
    </message>
</context>
<context>
    <name>HeadlessRun</name>
    <message>
        <source>端口 %1 已被占用</source>
        <translation>port %1 is in use</translation>
    </message>
    <message>
        <source>端口 %1 已被占用，未创建</source>
        <translation>port %1 is in use; nothing was made</translation>
    </message>
</context>
<context>
    <name>LineLog</name>
    <message>
        <source>正在监听端口 %1</source>
        <translation>listening on port %1</translation>
    </message>
    <message>
        <source>未在监听（端口 %1）</source>
        <translation>not listening (port %1)</translation>
    </message>
    <message>
        <source>已连接，对端 %1</source>
        <translation>connected, peer %1</translation>
    </message>
    <message>
        <source>已断开</source>
        <translation>disconnected</translation>
    </message>
    <message>
        <source>已打开 %1，%2</source>
        <translation>open %1, %2</translation>
    </message>
    <message>
        <source>已关闭</source>
        <translation>closed</translation>
    </message>
    <message>
        <source>应答 %1</source>
        <translation>answering %1</translation>
    </message>
    <message>
        <source>绑定在端口 %1</source>
        <translation>bound to port %1</translation>
    </message>
    <message>
        <source>端口 %1，发往 %2</source>
        <translation>port %1, sending to %2</translation>
    </message>
    <message>
        <source>组播 %1:%2</source>
        <translation>group %1:%2</translation>
    </message>
</context>
<context>
    <name>LogFindBar</name>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>区分大小写</source>
        <translation>Match case</translation>
    </message>
    <message>
        <source>上一个 (Shift+Enter)</source>
        <translation>Previous (Shift+Enter)</translation>
    </message>
    <message>
        <source>下一个 (Enter)</source>
        <translation>Next (Enter)</translation>
    </message>
    <message>
        <source>关闭 (Esc)</source>
        <translation>Close (Esc)</translation>
    </message>
    <message>
        <source>显示:</source>
        <translation>Show:</translation>
    </message>
    <message>
        <source>收到</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notices</translation>
    </message>
    <message>
        <source>脚本</source>
        <translation>Script</translation>
    </message>
    <message>
        <source>附加记录</source>
        <translation>Extra records</translation>
    </message>
    <message>
        <source>脚本发送的数据、连接失败、脚本警告和错误</source>
        <translation>Data sent by scripts, connection failures, script warnings and errors</translation>
    </message>
    <message>
        <source>只显示含查找内容的行</source>
        <translation>Only lines that contain</translation>
    </message>
    <message>
        <source>无匹配</source>
        <translation>No matches</translation>
    </message>
</context>
<context>
    <name>LogSaveJob</name>
    <message>
        <source>日志已被清空</source>
        <translation>The log was cleared</translation>
    </message>
</context>
<context>
    <name>LogMemory</name>
    <message>
        <source>日志无法移入临时文件（%1）：%2；此后日志留在内存中</source>
        <translation>The log cannot be moved to a temporary file (%1): %2; from now on it stays in memory</translation>
    </message>
    <message>
        <source>日志无法从临时文件读回（%1）：%2</source>
        <translation>The log cannot be read back from its temporary file (%1): %2</translation>
    </message>
</context>
<context>
    <name>LogSaving</name>
    <message>
        <source>保存日志…</source>
        <translation>Save log…</translation>
    </message>
    <message>
        <source>记录到文件…</source>
        <translation>Log to file…</translation>
    </message>
    <message>
        <source>文本 (*.txt *.log)</source>
        <translation>Text (*.txt *.log)</translation>
    </message>
    <message>
        <source>收到的原始数据 (*.bin)</source>
        <translation>Raw received bytes (*.bin)</translation>
    </message>
    <message>
        <source>JSON 行 (*.jsonl)</source>
        <translation>JSON lines (*.jsonl)</translation>
    </message>
    <message>
        <source>保存日志</source>
        <translation>Save log</translation>
    </message>
    <message>
        <source>无法写入日志文件 %1：%2</source>
        <translation>Cannot write the log file %1: %2</translation>
    </message>
    <message>
        <source>记录到文件</source>
        <translation>Log to file</translation>
    </message>
</context>
<context>
    <name>LogView</name>
    <message>
        <source>%1 条新行</source>
        <translation>%1 new lines</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>TCP/UDP Socket 调试工具</source>
        <translation>TCP/UDP Socket Debugging Tool</translation>
    </message>
    <message>
        <source>创建</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止 </source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>脚本输出</source>
        <translation>Script output</translation>
    </message>
    <message>
        <source>加载中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>看见每一个字节，脚本驱动每一个连接</source>
        <translation>See every byte, script every connection</translation>
    </message>
    <message>
        <source>进入软件</source>
        <translation>Enter</translation>
    </message>
    <message>
        <source>wirelab — TCP/UDP 调试与脚本工作台</source>
        <translation>wirelab — TCP/UDP debugging and scripting workbench</translation>
    </message>
    <message>
        <source>版本 %1</source>
        <translation>Version %1</translation>
    </message>
</context>
<context>
    <name>NewClientDialog</name>
    <message>
        <source>创建TCP Client</source>
        <translation>New TCP Client</translation>
    </message>
    <message>
        <source>对方IP:    </source>
        <translation>Peer IP:</translation>
    </message>
    <message>
        <source>对方端口:  </source>
        <translation>Peer port:</translation>
    </message>
</context>
<context>
    <name>NewGroupDialog</name>
    <message>
        <source>创建UDP组播</source>
        <translation>New UDP Group</translation>
    </message>
    <message>
        <source>组播地址:  </source>
        <translation>Group address:</translation>
    </message>
    <message>
        <source>组播端口: </source>
        <translation>Group port:</translation>
    </message>
    <message>
        <source>接口:</source>
        <translation>Interface:</translation>
    </message>
    <message>
        <source>默认接口</source>
        <translation>Default interface</translation>
    </message>
</context>
<context>
    <name>NewSerialDialog</name>
    <message>
        <source>新建串口连接</source>
        <translation>New serial port</translation>
    </message>
    <message>
        <source>串口:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>数据位:</source>
        <translation>Data bits:</translation>
    </message>
    <message>
        <source>校验位:</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>停止位:</source>
        <translation>Stop bits:</translation>
    </message>
    <message>
        <source>流控:</source>
        <translation>Flow control:</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>标记</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>空格</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>硬件</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>软件</source>
        <translation>Software</translation>
    </message>
    <message>
        <source>请选择或输入串口</source>
        <translation>Choose or type a serial port</translation>
    </message>
    <message>
        <source>波特率 %1 不是正整数</source>
        <translation>Baud rate %1 is not a positive integer</translation>
    </message>
</context>
<context>
    <name>NewServerDialog</name>
    <message>
        <source>创建TCP Server</source>
        <translation>New TCP Server</translation>
    </message>
    <message>
        <source>监听端口:  </source>
        <translation>Listening port:</translation>
    </message>
    <message>
        <source>绑定地址:</source>
        <translation>Bind address:</translation>
    </message>
    <message>
        <source>全部地址</source>
        <translation>all addresses</translation>
    </message>
</context>
<context>
    <name>NewUdpClientDialog</name>
    <message>
        <source>创建UDP Client</source>
        <translation>New UDP Client</translation>
    </message>
    <message>
        <source>对方IP   </source>
        <translation>Peer IP</translation>
    </message>
    <message>
        <source>广播地址</source>
        <translation>Broadcast address</translation>
    </message>
    <message>
        <source>对方端口  </source>
        <translation>Peer port</translation>
    </message>
    <message>
        <source>本地端口    </source>
        <translation>Local port</translation>
    </message>
    <message>
        <source>本地端口已被占用，请重新选择本地端口号</source>
        <translation>The local port is in use; please choose another local port.</translation>
    </message>
    <message>
        <source>请检查本机网络连接是否正常</source>
        <translation>Please check the network connection of this computer.</translation>
    </message>
</context>
<context>
    <name>NewUdpServerDialog</name>
    <message>
        <source>创建UDP Server</source>
        <translation>New UDP Server</translation>
    </message>
    <message>
        <source>本地端口    </source>
        <translation>Local port</translation>
    </message>
    <message>
        <source>本地端口已被占用，请重新选择本地端口号</source>
        <translation>The local port is in use; please choose another local port.</translation>
    </message>
    <message>
        <source>绑定地址:</source>
        <translation>Bind address:</translation>
    </message>
    <message>
        <source>全部地址</source>
        <translation>all addresses</translation>
    </message>
</context>
<context>
    <name>Ports</name>
    <message>
        <source>%1 %2 不是 0–65535 之间的端口号</source>
        <translation>%1 %2 is not a port number from 0 to 65535</translation>
    </message>
</context>
<context>
    <name>ReceivePath</name>
    <message>
        <source>收到数据：</source>
        <translation>Received: </translation>
    </message>
</context>
<context>
    <name>SendPath</name>
    <message>
        <source>发送数据：</source>
        <translation>Sent: </translation>
    </message>
    <message>
        <source>[%1次]</source>
        <translation>[%1x]</translation>
    </message>
</context>
<context>
    <name>SerialEndpoint</name>
    <message>
        <source>RTS/CTS流控</source>
        <translation>RTS/CTS flow control</translation>
    </message>
    <message>
        <source>XON/XOFF流控</source>
        <translation>XON/XOFF flow control</translation>
    </message>
    <message>
        <source>无流控</source>
        <translation>no flow control</translation>
    </message>
    <message>
        <source>打开失败:%1</source>
        <translation>Open failed: %1</translation>
    </message>
    <message>
        <source>设备已断开:%1</source>
        <translation>Device gone: %1</translation>
    </message>
    <message>
        <source>打开串口%1失败：%2</source>
        <translation>Cannot open serial port %1: %2</translation>
    </message>
    <message>
        <source>串口%1已断开：%2</source>
        <translation>Serial port %1 went away: %2</translation>
    </message>
    <message>
        <source>发送失败，串口未打开</source>
        <translation>Send failed: the serial port is not open</translation>
    </message>
</context>
<context>
    <name>TcpClientEndpoint</name>
    <message>
        <source>连接失败：%1</source>
        <translation>Connection failed: %1</translation>
    </message>
    <message>
        <source>连接异常：%1</source>
        <translation>Connection error: %1</translation>
    </message>
    <message>
        <source>连接失败!</source>
        <translation>Connection failed!</translation>
    </message>
    <message>
        <source>发送失败，连接已断开</source>
        <translation>Send failed: not connected</translation>
    </message>
</context>
<context>
    <name>TcpConnectionEndpoint</name>
    <message>
        <source>发送失败，连接已断开</source>
        <translation>Send failed: not connected</translation>
    </message>
</context>
<context>
    <name>TcpServerEndpoint</name>
    <message>
        <source>Client Socket异常,代码=%1</source>
        <translation>Client socket error, code=%1</translation>
    </message>
    <message>
        <source>该端口已被占用,监听未启动!</source>
        <translation>The port is in use; listening has not started!</translation>
    </message>
    <message>
        <source>Socket端口已经被占用!</source>
        <translation>The socket port is already in use!</translation>
    </message>
    <message>
        <source>发送失败，连接已断开</source>
        <translation>Send failed: not connected</translation>
    </message>
    <message>
        <source>监听未启动：%1</source>
        <translation>Not listening: %1</translation>
    </message>
</context>
<context>
    <name>TlsClientEndpoint</name>
    <message>
        <source>对方在握手完成前关闭了连接</source>
        <translation>the peer closed the connection before the handshake completed</translation>
    </message>
    <message>
        <source>TLS 握手失败（%1）：%2</source>
        <translation>TLS handshake with %1 failed: %2</translation>
    </message>
</context>
<context>
    <name>TlsCredentials</name>
    <message>
        <source>文件不存在</source>
        <translation>the file does not exist</translation>
    </message>
    <message>
        <source>文件无法读取</source>
        <translation>the file cannot be read</translation>
    </message>
    <message>
        <source>私钥受口令保护，无法使用</source>
        <translation>the key is protected by a passphrase and cannot be used</translation>
    </message>
    <message>
        <source>文件中没有 PEM 格式的私钥</source>
        <translation>the file holds no private key in PEM form</translation>
    </message>
    <message>
        <source>文件中没有 PEM 格式的证书</source>
        <translation>the file holds no certificate in PEM form</translation>
    </message>
    <message>
        <source>缺少 CERT：TLS 服务器需要证书和私钥</source>
        <translation>CERT is missing: a TLS server needs a certificate and its key</translation>
    </message>
    <message>
        <source>KEY 需要与之配对的证书 CERT</source>
        <translation>KEY needs the certificate CERT it belongs to</translation>
    </message>
    <message>
        <source>CERT 需要与之配对的私钥 KEY</source>
        <translation>CERT needs its private key KEY</translation>
    </message>
    <message>
        <source>私钥与证书 %1 不匹配</source>
        <translation>the key does not belong to the certificate %1</translation>
    </message>
</context>
<context>
    <name>TlsDeclaration</name>
    <message>
        <source>%1 &quot;%2&quot; 不是 0 或 1</source>
        <translation>%1 &quot;%2&quot; is not 0 or 1</translation>
    </message>
</context>
<context>
    <name>TlsServerEndpoint</name>
    <message>
        <source>对方在握手完成前关闭了连接</source>
        <translation>the peer closed the connection before the handshake completed</translation>
    </message>
    <message>
        <source>TLS 握手失败（%1）：%2</source>
        <translation>TLS handshake with %1 failed: %2</translation>
    </message>
</context>
<context>
    <name>TlsText</name>
    <message>
        <source>证书 %1 已于 %2 过期</source>
        <translation>the certificate %1 expired on %2</translation>
    </message>
    <message>
        <source>证书 %1 在 %2 之前无效</source>
        <translation>the certificate %1 is not valid before %2</translation>
    </message>
    <message>
        <source>证书不是颁发给名称 %1 的（它适用于 %2）</source>
        <translation>the certificate is not for the name %1 (it is for %2)</translation>
    </message>
    <message>
        <source>证书 %1 不是由受信任的机构签发的（签发者 %2）</source>
        <translation>the certificate %1 is not signed by a trusted authority (issuer %2)</translation>
    </message>
    <message>
        <source>对方没有提供证书</source>
        <translation>the peer sent no certificate</translation>
    </message>
    <message>
        <source>，对方无证书</source>
        <translation>, no peer certificate</translation>
    </message>
    <message>
        <source>，对方证书 %1，有效期至 %2</source>
        <translation>, peer certificate %1, valid until %2</translation>
    </message>
    <message>
        <source>未验证证书（VERIFY: 0）：主体 %1，签发者 %2，有效期至 %3，SHA-256 %4</source>
        <translation>Certificate not verified (VERIFY: 0): subject %1, issuer %2, valid until %3, SHA-256 %4</translation>
    </message>
</context>
<context>
    <name>UdpEndpoint</name>
    <message>
        <source>发送失败，连接已断开</source>
        <translation>Send failed: not connected</translation>
    </message>
    <message>
        <source>发送失败：%1</source>
        <translation>Send failed: %1</translation>
    </message>
</context>
<context>
    <name>UdpGroupEndpoint</name>
    <message>
        <source>%1  Socket创建失败</source>
        <translation>%1  Socket creation failed</translation>
    </message>
    <message>
        <source>无法进行UDP组播</source>
        <translation>Cannot join the UDP multicast group</translation>
    </message>
    <message>
        <source>%1Udp group Socket创建失败</source>
        <translation>%1Udp group socket creation failed</translation>
    </message>
    <message>
        <source>发送失败，连接已断开</source>
        <translation>Send failed: not connected</translation>
    </message>
    <message>
        <source>发送失败：%1</source>
        <translation>Send failed: %1</translation>
    </message>
    <message>
        <source>只发送了 %1 字节</source>
        <translation>only %1 bytes were sent</translation>
    </message>
</context>
</TS>
