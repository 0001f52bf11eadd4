// TLS echo in hex mode: every block goes back as it came (a is its compact hex).
function OnInit() {
  sockets = [{SOCKETTYPE: "TLS Server", PORT: "7008", HEX: "1", ID: "srv", CERT: "tls-server.pem",
              KEY: "tls-server.key", UI: []}];
}
function OnSocketEvent(name, event, a, b) {
  if (event == "OnRead") {
    benchReads++;
    actions.push({TYPE: "SEND", SOCKET: name, DATA: a});
  } else if (event == "OnConnect") {
    benchConnects++;
  }
}
