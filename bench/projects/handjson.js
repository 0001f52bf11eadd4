// json2str written out by hand for the echo's one kind of batch, a SEND
// of hex (no character needs escaping), and JSON.stringify for anything
// else: what the engine's JSON.stringify costs on the scripted answer path.
function json2str(v) {
  if (v === actions && v.length == 1 && v[0].TYPE === "SEND" && /^[0-9A-F]*$/.test(v[0].DATA)
      && /^[\w:.]*$/.test(v[0].SOCKET))
    return '[{"TYPE":"SEND","SOCKET":"' + v[0].SOCKET + '","DATA":"' + v[0].DATA + '"}]';
  return JSON.stringify(v);
}
