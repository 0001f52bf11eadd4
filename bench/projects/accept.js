// Many connections, each one message and its echo (text mode; the handler
// is echoreads.js).
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "7004", HEX: "0", ID: "srv", UI: []}];
}
