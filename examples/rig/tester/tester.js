// Connects to the device on 127.0.0.1:7100 (retrying while it starts),
// sends each request in turn, checks each answer, and ends the run with
// EXIT 0 when every answer was right, 1 otherwise or after 10 s.
var sockets = [], actions = [];
var cases = [
  ["PING", "PONG"],
  ["GET TEMP", "TEMP 21.5"],
  ["SET LED 1", "OK"],
  ["SET LED 7", "ERR"],
  ["REBOOT", "ERR"]
];
var next = 0, failures = 0, received = "", connected = false, ticks = 0;

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
function say(text) { actions.push({TYPE: "DISPLAY", SOCKET: "tester", DATA: text}); }
function finish() {
  say(failures == 0 ? "PASS: " + cases.length + " requests" : "FAIL: " + failures + " of " + cases.length);
  actions.push({TYPE: "EXIT", CODE: failures == 0 ? 0 : 1});
}
function ask() {
  if (next >= cases.length) { finish(); return; }
  actions.push({TYPE: "SEND", SOCKET: "tester", DATA: textToHex(cases[next][0] + "\n")});
}

function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Client", HOST: "127.0.0.1", PORT: 7100, ID: "tester", HEX: 0}];
  actions.push({TYPE: "ADDTIMER", SOCKET: "tester", TIMERNAME: "watch", INTERVAL: 1});
  actions.push({TYPE: "CONNECT", SOCKET: "tester"});
}

function OnSocketEvent(name, event, a, b) {
  if (event == "OnConnect") { connected = true; ask(); }
  if (event == "OnDisConnect") connected = false;
  if (event != "OnRead") return;
  received += hexToText(a);
  var end;
  while ((end = received.indexOf("\n")) >= 0) {
    var reply = received.substr(0, end);
    received = received.substr(end + 1);
    var expected = cases[next][1];
    if (reply != expected) {
      failures++;
      say("request " + cases[next][0] + ": expected " + expected + ", got " + reply);
    }
    next++;
    ask();
  }
}

// Every 200 ms: connect again while the device is not up yet; give up after 10 s.
function OnTimerEvent(name, timer) {
  ticks++;
  if (ticks > 50) { say("timed out"); failures = cases.length; finish(); return; }
  if (!connected) actions.push({TYPE: "CONNECT", SOCKET: "tester"});
}
function OnButtonClick(name, id) {}
function OnEditChange(name, id, text) {}
function DeleteSocket(name) {}
