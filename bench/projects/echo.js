// TCP echo in hex mode (the handler is echoreads.js).
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "7001", HEX: "1", ID: "srv", UI: []}];
}
