// The demo workspace: a TCP echo server with a panel, a TCP client that talks
// to it (connect/send buttons and a one-second heartbeat), and a UDP server
// that answers whoever sent to it last, with a UDP client to ping it.

var ECHO_PORT = "50007";
var UDP_PORT = "50008";

var prefix = "";          // the echo server's reply prefix (its edit box)
var connections = 0;      // live connections of the echo server
var clientUp = false;     // the TCP client's connection
var beats = 0;
var datagrams = 0;

function OnInit() {
  sockets = [
    {SOCKETTYPE: "TCP Server", PORT: ECHO_PORT, HEX: "0", ID: "echo",
     UI: [[{TYPE: "Label", TEXT: "Reply prefix", WIDTH: 90},
           {TYPE: "Edit", ID: "prefix", TEXT: "echo: "},
           {TYPE: "Button", ID: "stats", TEXT: "0 connections"}]]},
    {SOCKETTYPE: "TCP Client", PORT: ECHO_PORT, HOST: "127.0.0.1", HEX: "0", ID: "client",
     UI: [[{TYPE: "Button", ID: "connect", TEXT: "Connect"},
           {TYPE: "Edit", ID: "message", TEXT: "hello, wirelab"},
           {TYPE: "Button", ID: "send", TEXT: "Send"}],
          [{TYPE: "Label", TEXT: "Heartbeat once a second while connected", WIDTH: 260},
           {TYPE: "Button", ID: "beats", TEXT: "0 beats"}]]},
    {SOCKETTYPE: "UDP Server", PORT: UDP_PORT, HEX: "1", ID: "udp",
     UI: [[{TYPE: "Label", TEXT: "Answers its last sender", WIDTH: 170},
           {TYPE: "Button", ID: "count", TEXT: "0 datagrams"}]]},
    {SOCKETTYPE: "UDP Client", REMOTEPORT: UDP_PORT, LOCALPORT: "0", HOST: "127.0.0.1", HEX: "0",
     ID: "probe", UI: [[{TYPE: "Button", ID: "ping", TEXT: "Ping the UDP server"}]]}
  ];
  act("ADDTIMER", "client", {TIMERNAME: "heartbeat", INTERVAL: 9});  // 10 ticks = 1 s
  display("echo", "Echo server on port " + ECHO_PORT + ": whatever arrives goes back with the prefix.");
  display("client", "Press Connect, then Send; the heartbeat starts once connected.");
  display("udp", "UDP server on port " + UDP_PORT + ": every datagram is answered.");
}

// name: the endpoint; an accepted connection of "echo" is "echo_<number>".
function isEchoConnection(name) { return name.indexOf("echo_") == 0; }

function OnSocketEvent(name, event, a, b) {
  if (isEchoConnection(name)) {
    if (event == "OnConnect") {
      connections++;
      setText("echo", "stats", connections + " connections");
      // A panel for this connection: built right after this call.
      sockets.push({ID: name, UI: [[{TYPE: "Label", TEXT: "peer " + a, WIDTH: 140},
                                    {TYPE: "Button", ID: "greet", TEXT: "Say hello"},
                                    {TYPE: "Button", ID: "kick", TEXT: "Disconnect"}]]});
    } else if (event == "OnRead") {
      sendHex(name, toHex(prefix) + a);  // a: the bytes received, in hex
    } else if (event == "OnDisConnect") {
      connections--;
      setText("echo", "stats", connections + " connections");
    }
  } else if (name == "client") {
    if (event == "OnConnect") {
      clientUp = true;
      setText("client", "connect", "Disconnect");
      display("client", "connected to " + a + ":" + b);
    } else if (event == "OnDisConnect") {
      clientUp = false;
      setText("client", "connect", "Connect");
    }
  } else if (name == "udp" && event == "OnRead") {
    // The sender of this datagram is already the server's peer, so the
    // answer goes straight back to it.
    datagrams++;
    setText("udp", "count", datagrams + " datagrams");
    send("udp", "ack " + datagrams + " for " + a + ":" + b);
  }
}

function OnTimerEvent(name, timer) {
  if (name == "client" && timer == "heartbeat" && clientUp) {
    beats++;
    setText("client", "beats", beats + " beats");
    send("client", "ping " + beats + "\r\n");
  }
}

function OnButtonClick(name, id) {
  if (name == "client" && id == "connect") {
    act(clientUp ? "DISCONNECT" : "CONNECT", "client", {});
  } else if (name == "client" && id == "send") {
    send("client", panelItem("client", "message").TEXT + "\r\n");
  } else if (name == "echo" && id == "stats") {
    act("ALERT", "echo", {TEXT: connections + " connection(s) open, prefix \"" + prefix + "\""});
  } else if (isEchoConnection(name) && id == "greet") {
    send(name, "hello from wirelab\r\n");
  } else if (isEchoConnection(name) && id == "kick") {
    act("DISCONNECT", name, {});
  } else if (name == "probe" && id == "ping") {
    send("probe", "ping");
  }
}

// Keeps `sockets` in step with what the user types, so that panel refreshes
// do not put the old text back.
function OnEditChange(name, id, text) {
  var item = panelItem(name, id);
  if (item) item.TEXT = text;
  if (name == "echo" && id == "prefix") prefix = text;
}

function DeleteSocket(name) {
  for (var i = sockets.length - 1; i >= 0; i--)
    if (sockets[i].ID == name) sockets.splice(i, 1);
}
