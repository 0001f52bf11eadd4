// Shared by the bench projects: the two globals the workbench reads, JSON,
// and the counters the harness reads back.
var sockets = [];
var actions = [];
var benchReads = 0;     // OnRead calls
var benchConnects = 0;  // OnConnect calls
var benchFires = 0;     // OnTimerEvent calls

function json2str(v) { return JSON.stringify(v); }
function OnTimerEvent(name, timer) { benchFires++; }
function OnButtonClick(name, id) {}
function OnEditChange(name, id, text) {}
function DeleteSocket(name) {}
