// The Node.js baseline, on 127.0.0.1:
//   node node-server.js tcp-echo  PORT   echoes every chunk
//   node node-server.js tcp-log   PORT   keeps every chunk in memory as a log
//                                        line (ISO time stamp and hex), echoes nothing
//   node node-server.js udp-count PORT   counts datagrams
//   node node-server.js tls-echo  PORT CERT KEY   echoes every chunk over TLS
// Prints "ready" once listening; on SIGTERM prints its counters and exits.
// Ends by itself after 600 s.
'use strict';
const net = require('net');
const dgram = require('dgram');
const fs = require('fs');
const tls = require('tls');

const [mode, portText, certFile, keyFile] = process.argv.slice(2);
const port = Number(portText);
let datagrams = 0, bytes = 0, accepted = 0;
const log = [];

function report() {
  process.stdout.write(`datagrams_received=${datagrams}\nbytes_received=${bytes}\n` +
                       `accepted=${accepted}\nlog_lines=${log.length}\n`);
  process.exit(0);
}
process.on('SIGTERM', report);
process.on('SIGINT', report);
setTimeout(report, 600000).unref();

if (mode === 'udp-count') {
  const s = dgram.createSocket('udp4');
  s.on('message', (msg) => { datagrams++; bytes += msg.length; });
  s.bind(port, '127.0.0.1', () => process.stdout.write('ready\n'));
} else if (mode === 'tls-echo') {
  const options = {cert: fs.readFileSync(certFile), key: fs.readFileSync(keyFile), minVersion: 'TLSv1.2'};
  const server = tls.createServer(options, (c) => {
    accepted++;
    c.setNoDelay(true);
    c.on('data', (chunk) => { bytes += chunk.length; c.write(chunk); });
    c.on('error', () => {});
  });
  server.listen({port, host: '127.0.0.1'}, () => process.stdout.write('ready\n'));
} else {
  const server = net.createServer((c) => {
    accepted++;
    c.on('data', (chunk) => {
      bytes += chunk.length;
      if (mode === 'tcp-echo')
        c.write(chunk);
      else
        log.push(new Date().toISOString() + ' ' + chunk.toString('hex'));
    });
    c.on('error', () => {});
  });
  server.listen({port, host: '127.0.0.1'}, () => process.stdout.write('ready\n'));
}
