// A serial device bridged to TCP: every byte the port receives goes to every
// connected TCP client, and every byte a client sends goes to the port, as
// it came (nothing is buffered or reframed). While the port is closed (not
// there yet, unplugged, closed by hand) it is opened again every 3 s, unless
// its panel button turns that off; what clients send meanwhile is dropped
// with a line in the serial endpoint's log.
var sockets = [], actions = [];
var clients = [];       // names of the connected TCP clients ("tcp_1", ...)
var serialOpen = false;
var reopen = true;

function json2str(v) { return JSON.stringify(v); }
function act(type, socket, fields) {
  var a = {TYPE: type, SOCKET: socket};
  for (var k in fields) a[k] = fields[k];
  actions.push(a);
}
function say(socket, text) { act("DISPLAY", socket, {DATA: text}); }
function showPanels() {
  sockets[0].UI[0][0].TEXT = "Reopen every 3 s: " + (reopen ? "on" : "off");
  sockets[1].UI[0][0].TEXT = clients.length + (clients.length == 1 ? " client" : " clients");
}

function OnInit() {
  sockets = [
    {SOCKETTYPE: "Serial", PORT: SERIAL_PORT, BAUD: SERIAL_BAUD, ID: "serial", HEX: 1,
     UI: [[{TYPE: "Button", ID: "reopen", TEXT: ""}]]},
    {SOCKETTYPE: "TCP Server", PORT: TCP_PORT, ID: "tcp", HEX: 1,
     UI: [[{TYPE: "Button", ID: "clients", TEXT: ""}]]}
  ];
  showPanels();
  act("CONNECT", "serial");  // opens the port; OnConnect says when it is open
  act("ADDTIMER", "serial", {TIMERNAME: "reopen", INTERVAL: 29});
}

function OnSocketEvent(name, event, a, b) {
  if (name == "serial") {
    if (event == "OnConnect") serialOpen = true;
    if (event == "OnDisConnect") serialOpen = false;
    if (event == "OnRead")
      for (var i = 0; i < clients.length; i++) act("SEND", clients[i], {DATA: a});
    return;
  }
  // An accepted connection of the TCP server: "tcp_<number>".
  if (event == "OnConnect") {
    clients.push(name);
    say(name, "bridged to " + SERIAL_PORT + (serialOpen ? "" : " (closed for now)"));
  }
  if (event == "OnDisConnect") {
    var at = clients.indexOf(name);
    if (at >= 0) clients.splice(at, 1);
  }
  if (event == "OnRead") {
    if (serialOpen) act("SEND", "serial", {DATA: a});
    else say("serial", "the port is closed: " + a.length / 2 + " bytes from " + name + " dropped");
  }
  showPanels();
}

function OnTimerEvent(name, timer) {
  if (timer == "reopen" && reopen && !serialOpen) act("CONNECT", "serial");
  showPanels();
}

function OnButtonClick(name, id) {
  if (id == "reopen") reopen = !reopen;
  showPanels();
}

function OnEditChange(name, id, text) {}
function DeleteSocket(name) {}
