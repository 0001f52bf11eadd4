// Many connections, each one message and its echo (text mode).
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "7004", HEX: "0", ID: "srv", UI: []}];
}
function OnSocketEvent(name, event, a, b) {
  if (event == "OnRead") {
    benchReads++;
    actions.push({TYPE: "SEND", SOCKET: name, DATA: a});
  } else if (event == "OnConnect") {
    benchConnects++;
  }
}
