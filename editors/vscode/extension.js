// extension.js - Starts the ferrox-lsp language server for Tavrune assembly.
//
// The server runs over stdio. It learns the program's main source file
// (setting ferrox.mainFile) twice: in the initialize request's
// initializationOptions, {"mainFile": path}, and in a
// workspace/didChangeConfiguration notification, {"settings": {"ferrox":
// {...}}}, sent once it runs and again whenever a ferrox setting changes.
// The path is absolute, or null when the setting is empty.
'use strict';

const path = require('path');
const vscode = require('vscode');
const {
  LanguageClient,
  TransportKind,
  DidChangeConfigurationNotification,
} = require('vscode-languageclient/node');

/** @type {LanguageClient | undefined} */
let client;

function configuration() {
  return vscode.workspace.getConfiguration('ferrox');
}

/** The main file setting as an absolute path, or null when it is empty. */
function mainFile() {
  const value = (configuration().get('mainFile') || '').trim();
  if (value === '') return null;
  const folders = vscode.workspace.workspaceFolders;
  const folder = folders && folders.length > 0 ? folders[0].uri.fsPath : undefined;
  if (folder === undefined) return value;
  const expanded = value.split('${workspaceFolder}').join(folder);
  return path.resolve(folder, expanded);
}

/** The "ferrox" section as the server receives it. */
function settings() {
  return {
    server: { path: configuration().get('server.path') || 'ferrox-lsp' },
    mainFile: mainFile(),
  };
}

function notifySettings() {
  if (client === undefined || !client.isRunning()) return;
  void client.sendNotification(DidChangeConfigurationNotification.type, {
    settings: { ferrox: settings() },
  });
}

async function start() {
  const command = settings().server.path;
  const serverOptions = { command, args: [], transport: TransportKind.stdio };
  const clientOptions = {
    documentSelector: [
      { scheme: 'file', language: 'ferrox' },
      { scheme: 'untitled', language: 'ferrox' },
    ],
    initializationOptions: { mainFile: mainFile() },
  };
  const created = new LanguageClient('ferrox', 'ferrox language server',
    serverOptions, clientOptions);
  client = created;
  try {
    await created.start();
  } catch (error) {
    // The client has logged the cause; highlighting goes on without it.
    if (client === created) client = undefined;
    const choice = await vscode.window.showWarningMessage(
      `ferrox: the language server "${command}" could not be started. ` +
      'Set ferrox.server.path to the ferrox-lsp program.', 'Open Settings');
    if (choice === 'Open Settings') {
      void vscode.commands.executeCommand('workbench.action.openSettings',
        'ferrox.server.path');
    }
    return;
  }
  notifySettings();
}

async function stop() {
  const running = client;
  client = undefined;
  if (running !== undefined) await running.stop();
}

/** @param {vscode.ExtensionContext} context */
function activate(context) {
  context.subscriptions.push(
    vscode.workspace.onDidChangeConfiguration(async (event) => {
      if (event.affectsConfiguration('ferrox.server.path')) {
        await stop();
        await start();
      } else if (event.affectsConfiguration('ferrox')) {
        notifySettings();
      }
    }));
  return start();
}

function deactivate() {
  return stop();
}

module.exports = { activate, deactivate };
