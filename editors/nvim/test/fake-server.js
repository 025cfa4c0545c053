#!/usr/bin/env node
// fake-server.js - A stand-in for ferrox-lsp: writes every message it
// receives, one JSON text a line, to the file $FERROX_FAKE_LOG, answers
// initialize and shutdown, and ends on exit.
'use strict';

const fs = require('fs');

function send(message) {
  const body = JSON.stringify({ jsonrpc: '2.0', ...message });
  process.stdout.write(`Content-Length: ${Buffer.byteLength(body)}\r\n\r\n${body}`);
}

function handle(message) {
  fs.appendFileSync(process.env.FERROX_FAKE_LOG, JSON.stringify(message) + '\n');
  if (message.method === 'initialize') send({ id: message.id, result: { capabilities: { textDocumentSync: 1 } } });
  else if (message.method === 'shutdown') send({ id: message.id, result: null });
  else if (message.method === 'exit') process.exit(0);
}

let pending = Buffer.alloc(0);
process.stdin.on('data', (chunk) => {
  pending = Buffer.concat([pending, chunk]);
  for (;;) {
    const headerEnd = pending.indexOf('\r\n\r\n');
    if (headerEnd < 0) return;
    const length = Number(/Content-Length: *(\d+)/i.exec(pending.subarray(0, headerEnd).toString())[1]);
    const start = headerEnd + 4;
    if (pending.length < start + length) return;
    handle(JSON.parse(pending.subarray(start, start + length).toString()));
    pending = pending.subarray(start + length);
  }
});
process.stdin.on('end', () => process.exit(0));
