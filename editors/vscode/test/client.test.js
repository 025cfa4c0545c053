// client.test.js - The language client's contract with ferrox-lsp: the
// command it starts, the main file in initializationOptions and in
// workspace/didChangeConfiguration, restarts on a new server path. VS Code
// and the client library are replaced by stand-ins that record the calls.
'use strict';

const assert = require('assert');
const Module = require('module');

const settings = { 'server.path': '/opt/ferrox/ferrox-lsp', mainFile: 'src/main.tvs' };
let onChange;
const vscode = {
  workspace: {
    workspaceFolders: [{ uri: { fsPath: '/ws' } }],
    getConfiguration: (section) => ({ get: (key) => settings[key], section }),
    onDidChangeConfiguration: (listener) => { onChange = listener; return { dispose() {} }; },
  },
  window: { showWarningMessage: async () => undefined },
  commands: { executeCommand: async () => undefined },
};

const clients = [];
class LanguageClient {
  constructor(id, name, serverOptions, clientOptions) {
    Object.assign(this, { id, serverOptions, clientOptions, running: false, sent: [] });
    clients.push(this);
  }
  async start() {
    if (this.serverOptions.command === 'missing') throw new Error('spawn missing ENOENT');
    this.running = true;
  }
  async stop() { this.running = false; }
  isRunning() { return this.running; }
  sendNotification(type, params) { this.sent.push([type.method, params]); return Promise.resolve(); }
}
const library = {
  LanguageClient,
  TransportKind: { stdio: 0 },
  DidChangeConfigurationNotification: { type: { method: 'workspace/didChangeConfiguration' } },
};

const load = Module._load;
Module._load = function (request, ...rest) {
  if (request === 'vscode') return vscode;
  if (request === 'vscode-languageclient/node') return library;
  return load.call(this, request, ...rest);
};
const extension = require('../extension.js');

/** The main file of the last notification `client` received. */
const lastMainFile = (client) => client.sent[client.sent.length - 1][1].settings.ferrox.mainFile;
const change = (...sections) => onChange({ affectsConfiguration: (s) => sections.includes(s) });

(async () => {
  await extension.activate({ subscriptions: [] });
  const [first] = clients;
  assert.strictEqual(first.serverOptions.command, '/opt/ferrox/ferrox-lsp');
  assert.strictEqual(first.serverOptions.transport, 0);
  assert.deepStrictEqual(first.clientOptions.documentSelector.map((s) => s.language),
    ['ferrox', 'ferrox']);
  assert.deepStrictEqual(first.clientOptions.initializationOptions, { mainFile: '/ws/src/main.tvs' });
  assert.deepStrictEqual(first.sent, [['workspace/didChangeConfiguration', {
    settings: { ferrox: { server: { path: '/opt/ferrox/ferrox-lsp' }, mainFile: '/ws/src/main.tvs' } },
  }]]);

  // A new main file reaches the running server; an empty one is null.
  settings.mainFile = '${workspaceFolder}/lib/../other.tvs';
  await change('ferrox', 'ferrox.mainFile');
  assert.strictEqual(lastMainFile(first), '/ws/other.tvs');
  settings.mainFile = '/abs/prog.tvs';
  await change('ferrox', 'ferrox.mainFile');
  assert.strictEqual(lastMainFile(first), '/abs/prog.tvs');
  settings.mainFile = '  ';
  await change('ferrox', 'ferrox.mainFile');
  assert.strictEqual(lastMainFile(first), null);
  await change('editor.fontSize');
  assert.strictEqual(first.sent.length, 4);

  // A new server path restarts the server; one that cannot start leaves
  // no client behind, and the next good path starts again.
  settings['server.path'] = 'missing';
  await change('ferrox', 'ferrox.server.path');
  assert.strictEqual(first.running, false);
  assert.strictEqual(clients.length, 2);
  settings['server.path'] = '';
  await change('ferrox', 'ferrox.server.path');
  const third = clients[2];
  assert.strictEqual(third.serverOptions.command, 'ferrox-lsp');
  assert.strictEqual(third.running, true);
  assert.deepStrictEqual(third.clientOptions.initializationOptions, { mainFile: null });

  await extension.deactivate();
  assert.strictEqual(third.running, false);
  console.log('PASSED: the language client starts, configures and restarts ferrox-lsp');
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
