// A TLS echo server on port 8443 (server.pem, server.key) and a TLS client
// that trusts ca.pem, connects to it by name, sends one line and ends the
// run (headless) with status 0 when the line came back whole, 1 otherwise.
// The client's VERIFY is 1 (the default): the server's certificate must be
// signed by ca.pem (or a system root) and be for "localhost".

var sockets = [];
var actions = [];
var HELLO = "68656C6C6F206F76657220544C530A";  // "hello over TLS\n"
var echoed = "";

function json2str(v) { return JSON.stringify(v); }

function OnInit() {
  sockets = [
    {SOCKETTYPE: "TLS Server", PORT: 8443, CERT: "server.pem", KEY: "server.key", ID: "echo", HEX: 0},
    {SOCKETTYPE: "TLS Client", HOST: "localhost", PORT: 8443, CA: "ca.pem", ID: "device", HEX: 0}
  ];
  actions.push({TYPE: "CONNECT", SOCKET: "device"});
}

function OnSocketEvent(name, event, a, b) {
  if (name.indexOf("echo_") == 0 && event == "OnRead") {
    actions.push({TYPE: "SEND", SOCKET: name, DATA: a});  // a: the bytes, in hex
  } else if (name == "device" && event == "OnConnect") {
    actions.push({TYPE: "SEND", SOCKET: "device", DATA: HELLO});
  } else if (name == "device" && event == "OnRead") {
    echoed += a;
    if (echoed.length >= HELLO.length)
      actions.push({TYPE: "EXIT", SOCKET: "device", CODE: echoed == HELLO ? 0 : 1});
  }
}

function OnTimerEvent(name, timer) {}
function OnButtonClick(name, id) {}
function OnEditChange(name, id, text) {}
function DeleteSocket(name) {}
