// A UDP server that receives only (OnRead's a and b are the sender's
// address and port); every datagram is logged.
function OnInit() {
  sockets = [{SOCKETTYPE: "UDP Server", PORT: "7003", HEX: "0", ID: "srv", UI: []}];
}
function OnSocketEvent(name, event, a, b) {
  if (event == "OnRead") benchReads++;
}
