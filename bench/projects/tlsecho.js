// TLS echo in hex mode (the handler is echoreads.js).
function OnInit() {
  sockets = [{SOCKETTYPE: "TLS Server", PORT: "7008", HEX: "1", ID: "srv", CERT: "tls-server.pem",
              KEY: "tls-server.key", UI: []}];
}
