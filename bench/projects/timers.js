// 1,000 TCP servers (ports 8000-8999), each with a timer that fires on every
// 100 ms tick (INTERVAL 0).
var TIMED = 1000;
function OnInit() {
  sockets = [];
  for (var i = 0; i < TIMED; i++) {
    var id = "t" + i;
    sockets.push({SOCKETTYPE: "TCP Server", PORT: String(8000 + i), HEX: "0", ID: id, UI: []});
    actions.push({TYPE: "ADDTIMER", SOCKET: id, TIMERNAME: "tick", INTERVAL: 0});
  }
}
function OnSocketEvent(name, event, a, b) {}
