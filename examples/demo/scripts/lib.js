// Helpers shared by the demo: the two globals the workbench reads, JSON,
// hexadecimal data and action builders.

var sockets = [];   // the declared endpoints and their panels
var actions = [];   // what the workbench carries out after each event

function json2str(value) { return JSON.stringify(value); }

// Text <-> the compact hexadecimal form the workbench uses for data
// ("48656C6C6F" is Hello). Text goes out as UTF-8.
function toHex(text) {
  var bytes = unescape(encodeURIComponent(text)), hex = "";
  for (var i = 0; i < bytes.length; i++) {
    var c = bytes.charCodeAt(i);
    hex += (c < 16 ? "0" : "") + c.toString(16).toUpperCase();
  }
  return hex;
}
function fromHex(hex) {
  var bytes = "";
  for (var i = 0; i + 1 < hex.length; i += 2)
    bytes += String.fromCharCode(parseInt(hex.substr(i, 2), 16));
  try { return decodeURIComponent(escape(bytes)); } catch (e) { return bytes; }
}

// Action builders: each leaves one action for the workbench.
function act(type, socket, fields) {
  var a = {TYPE: type, SOCKET: socket};
  for (var k in fields) a[k] = fields[k];
  actions.push(a);
}
function send(socket, text) { act("SEND", socket, {DATA: toHex(text)}); }
function sendHex(socket, hex) { act("SEND", socket, {DATA: hex}); }
function display(socket, text) { act("DISPLAY", socket, {DATA: text}); }

// The declaration of an endpoint, and one panel item of it, by ID.
function declared(id) {
  for (var i = 0; i < sockets.length; i++)
    if (sockets[i].ID == id) return sockets[i];
  return null;
}
function panelItem(id, itemId) {
  var d = declared(id);
  if (!d || !d.UI) return null;
  for (var r = 0; r < d.UI.length; r++)
    for (var k = 0; k < d.UI[r].length; k++)
      if (d.UI[r][k].ID == itemId) return d.UI[r][k];
  return null;
}
// Changing TEXT in `sockets` changes a button caption or an edit text at the
// next panel refresh (after every click, timer firing and accept).
function setText(id, itemId, text) {
  var item = panelItem(id, itemId);
  if (item) item.TEXT = text;
}
