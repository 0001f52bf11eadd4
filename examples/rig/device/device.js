// A device on TCP port 7100 that answers one line per request:
//   PING        -> PONG
//   GET TEMP    -> TEMP 21.5
//   SET LED n   -> OK (n: 0 or 1), else ERR
//   anything    -> ERR
// Requests may arrive split or several in one block: bytes are collected per
// connection until a line feed.
var sockets = [], actions = [];
var pending = {};  // connection name -> text received, not yet a whole line
var led = 0;

function json2str(v) { return JSON.stringify(v); }

function hexToText(h) {
  var s = "";
  for (var i = 0; i + 1 < h.length; i += 2)
    s += String.fromCharCode(parseInt(h.substr(i, 2), 16));
  return s;
}

function textToHex(s) {
  var h = "";
  for (var i = 0; i < s.length; i++)
    h += ("0" + (s.charCodeAt(i) & 255).toString(16)).slice(-2).toUpperCase();
  return h;
}

function answer(request) {
  if (request == "PING") return "PONG";
  if (request == "GET TEMP") return "TEMP 21.5";
  var m = /^SET LED ([01])$/.exec(request);
  if (m) { led = Number(m[1]); return "OK"; }
  return "ERR";
}

function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: 7100, ID: "device", HEX: 0}];
  actions.push({TYPE: "DISPLAY", SOCKET: "device", DATA: "device ready on port 7100"});
}

function OnSocketEvent(name, event, a, b) {
  if (event == "OnConnect") pending[name] = "";
  if (event == "OnDisConnect") delete pending[name];
  if (event != "OnRead") return;
  var text = (pending[name] || "") + hexToText(a);
  var lines = text.split("\n");
  pending[name] = lines.pop();  // an unfinished line waits for the rest
  for (var i = 0; i < lines.length; i++) {
    var request = lines[i].replace(/\r$/, "");
    actions.push({TYPE: "SEND", SOCKET: name, DATA: textToHex(answer(request) + "\n")});
  }
}

function OnTimerEvent(name, timer) {}
function OnButtonClick(name, id) {}
function OnEditChange(name, id, text) {}
function DeleteSocket(name) {}
