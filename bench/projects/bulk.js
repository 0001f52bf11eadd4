// A text-mode TCP server that only receives: every block is logged, nothing
// goes back.
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "7002", HEX: "0", ID: "srv", UI: []}];
}
function OnSocketEvent(name, event, a, b) {
  if (event == "OnRead") benchReads++;
  else if (event == "OnConnect") benchConnects++;
}
