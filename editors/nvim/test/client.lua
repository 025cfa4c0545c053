-- client.lua - ferrox.lua, loaded with -u, starts the server named by
-- $FERROX_LSP for a ferrox buffer, in the main file's folder, and hands it
-- the main file ($FERROX_MAIN_FILE) both ways. The server is
-- fake-server.js, which logs what it receives to $FERROX_FAKE_LOG.

local errors = {}
local function check(ok, what)
  if not ok then
    table.insert(errors, what)
  end
end

local main = vim.fn.fnamemodify(vim.env.FERROX_MAIN_FILE, ':p')
vim.cmd('edit ' .. vim.fn.fnameescape(main))
check(vim.bo.filetype == 'ferrox', 'filetype: ' .. vim.bo.filetype)
check(vim.b.current_syntax == 'ferrox', 'syntax: ' .. tostring(vim.b.current_syntax))

-- The initialize request, the initialized and didChangeConfiguration
-- notifications and didOpen, as the server logged them.
local received = {}
local function log()
  received = {}
  local ok, lines = pcall(vim.fn.readfile, vim.env.FERROX_FAKE_LOG)
  for _, line in ipairs(ok and lines or {}) do
    local message = vim.fn.json_decode(line)
    received[message.method] = message.params
  end
  return received['textDocument/didOpen'] ~= nil
      and received['workspace/didChangeConfiguration'] ~= nil
end
check(vim.wait(10000, log, 50), 'the server did not receive didOpen and didChangeConfiguration')

local initialize = received.initialize or {}
check((initialize.initializationOptions or {}).mainFile == main,
  'initializationOptions: ' .. vim.inspect(initialize.initializationOptions))
check(initialize.rootUri == vim.uri_from_fname(vim.fn.fnamemodify(main, ':h')),
  'rootUri: ' .. tostring(initialize.rootUri))
local settings = (received['workspace/didChangeConfiguration'] or {}).settings or {}
check((settings.ferrox or {}).mainFile == main, 'settings: ' .. vim.inspect(settings))
local opened = (received['textDocument/didOpen'] or {}).textDocument or {}
check(opened.languageId == 'ferrox', 'languageId: ' .. tostring(opened.languageId))

io.stdout:write(#errors == 0 and 'PASSED: ferrox.lua starts the server and hands it the main file\n'
  or 'FAILED:\n' .. table.concat(errors, '\n') .. '\n')
vim.cmd(#errors == 0 and 'qall!' or 'cquit!')
