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
function hook(name) { return typeof this[name] == "function" ? this[name] : null; }
function OnInit() {}
function OnSocketEvent(n, e, a, b) {
  calls.push(e + "|" + n + "|" + a + "|" + b);
  var h = hook("onSocket"); if (h) h.apply(null, arguments);
}
function OnTimerEvent(n, t) {
  calls.push("timer|" + n + "|" + t);
  var h = hook("onTimer"); if (h) h(n, t);
}
function OnButtonClick(n, id) {
  calls.push("click|" + n + "|" + id);
  var h = hook("onClick"); if (h) h(n, id);
}
function OnEditChange(n, id, t) {
  calls.push("edit|" + n + "|" + id + "|" + t);
  var h = hook("onEdit"); if (h) h(n, id, t);
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
