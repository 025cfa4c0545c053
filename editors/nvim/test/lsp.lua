-- lsp.lua - ferrox.lua, loaded with -u, starts the real ferrox-lsp
-- ($FERROX_LSP) for a copy of examples/hello.tvs whose "halt" is misspelt
-- ($FERROX_MAIN_FILE): the diagnostic arrives on that line, and a hover and
-- a definition answer as the server should.

local errors = {}
local function check(ok, what)
  if not ok then
    table.insert(errors, what)
  end
end

local main = vim.fn.fnamemodify(vim.env.FERROX_MAIN_FILE, ':p')
vim.cmd('edit ' .. vim.fn.fnameescape(main))
local buffer = vim.api.nvim_get_current_buf()
local lines = vim.api.nvim_buf_get_lines(buffer, 0, -1, false)
local function find(pattern)
  for number, line in ipairs(lines) do
    local column = line:find(pattern)
    if column ~= nil then
      return number - 1, column - 1
    end
  end
  error('no line matches ' .. pattern)
end

local broken = find('^    hlt')
local diagnostics = {}
local arrived = vim.wait(20000, function()
  diagnostics = vim.diagnostic.get(buffer, { severity = vim.diagnostic.severity.ERROR })
  return #diagnostics > 0
end, 50)
check(arrived, 'no error diagnostic arrived')
if arrived then
  check(diagnostics[1].lnum == broken, 'the error is on line ' .. diagnostics[1].lnum .. ', not ' .. broken)
  check(diagnostics[1].message:find('"hlt" unknown command or instruction', 1, true) ~= nil,
    'message: ' .. diagnostics[1].message)
end

local function ask(method, line, character)
  local params = { textDocument = { uri = vim.uri_from_bufnr(buffer) }, position = { line = line, character = character } }
  local answers = vim.lsp.buf_request_sync(buffer, method, params, 10000) or {}
  for _, answer in pairs(answers) do
    if answer.result ~= nil then
      return answer.result
    end
  end
  return nil
end

-- Hover on the label in "load ^counter, &COUNT".
local line, column = find('load %^counter')
local hover = ask('textDocument/hover', line, column + 6)
local text = hover and hover.contents and hover.contents.value or ''
check(text:find('**counter**: label', 1, true) ~= nil and text:find('address', 1, true) ~= nil,
  'hover: ' .. vim.inspect(hover))

-- Definition of "countdown" in "jnz countdown", and of console.newline in
-- the included file.
local target = find('^countdown:')
line, column = find('jnz countdown')
local definition = ask('textDocument/definition', line, column + 5)
definition = definition and (definition[1] or definition)
check(definition ~= nil and definition.range.start.line == target and definition.uri == vim.uri_from_bufnr(buffer),
  'definition of countdown: ' .. vim.inspect(definition))
line, column = find('call console.newline')
definition = ask('textDocument/definition', line, column + 14)
definition = definition and (definition[1] or definition)
check(definition ~= nil and definition.uri:match('console%.tvh$') ~= nil,
  'definition of console.newline: ' .. vim.inspect(definition))

io.stdout:write(#errors == 0 and 'PASSED: ferrox-lsp reports, hovers and finds definitions in Neovim\n'
  or 'FAILED:\n' .. table.concat(errors, '\n') .. '\n')
vim.cmd(#errors == 0 and 'qall!' or 'cquit!')
