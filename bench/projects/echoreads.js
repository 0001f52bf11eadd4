// The echo projects' handler: every block goes back as it came (in hex mode
// a is its compact hex, which SEND turns back into the same bytes).
function OnSocketEvent(name, event, a, b) {
  if (event == "OnRead") {
    benchReads++;
    actions.push({TYPE: "SEND", SOCKET: name, DATA: a});
  } else if (event == "OnConnect") {
    benchConnects++;
  }
}
