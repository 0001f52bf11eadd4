#pragma once
// The script every scripted fixture starts from: the globals and every
// function the workbench calls, each call recorded in the global `calls` as
// "event|name|a|b" ("OnRead|srv_1|4142|0", "timer|c|t", "click|c|go",
// "edit|c|id|text", "delete|c"), then handed to a hook the test's own script
// may define: onSocket(name, event, a, b[, data]), onTimer(name, timer),
// onClick(name, id), onEdit(name, id, text).

inline constexpr const char *ContractScript = R"JS(
var sockets = [];
var actions = [];
var calls = [];
function json2str(v) { return JSON.stringify(v); }
function OnInit() {}
// The hooks are named, not looked up on the global object: these files stay
// ones whose json2str the workbench may read around.
function OnSocketEvent(n, e, a, b, d) {
  calls.push(e + "|" + n + "|" + a + "|" + b);
  if (typeof onSocket != "function") return;
  if (d === undefined) onSocket(n, e, a, b); else onSocket(n, e, a, b, d);
}
function OnTimerEvent(n, t) {
  calls.push("timer|" + n + "|" + t);
  if (typeof onTimer == "function") onTimer(n, t);
}
function OnButtonClick(n, id) {
  calls.push("click|" + n + "|" + id);
  if (typeof onClick == "function") onClick(n, id);
}
function OnEditChange(n, id, t) {
  calls.push("edit|" + n + "|" + id + "|" + t);
  if (typeof onEdit == "function") onEdit(n, id, t);
}
function DeleteSocket(n) { calls.push("delete|" + n); }
function findUi(id, itemId) {
  for (var i = 0; i < sockets.length; i++) {
    if (sockets[i].ID != id || !sockets[i].UI) continue;
    for (var r = 0; r < sockets[i].UI.length; r++)
      for (var k = 0; k < sockets[i].UI[r].length; k++)
        if (sockets[i].UI[r][k].ID == itemId) return sockets[i].UI[r][k];
  }
  return null;
}
)JS";
