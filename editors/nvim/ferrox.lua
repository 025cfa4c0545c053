-- ferrox.lua - Starts ferrox-lsp, the Tavrune assembly language server, in
-- Neovim's built-in client, and uses the Vim files in ../vim for filetype
-- detection, syntax, the filetype plugin and the compiler file.
--
-- As the whole configuration:   nvim -u editors/nvim/ferrox.lua prog.tvs
-- From your init.lua:           dofile('/path/to/ferrox/editors/nvim/ferrox.lua')
--
-- Read whenever a ferrox buffer opens:
--   vim.g.ferrox_lsp_cmd    the server command, a list ({ 'ferrox-lsp', '--flag' })
--                           or a program name; else $FERROX_LSP (a program
--                           path), else 'ferrox-lsp' from PATH
--   vim.g.ferrox_main_file  the program's main source file; else $FERROX_MAIN_FILE
--
-- The server's root folder is the main file's folder, else the nearest
-- folder above the buffer's file that holds .git, else the file's folder.
-- The main file reaches the server as initializationOptions { mainFile = path }
-- and in workspace/didChangeConfiguration as settings.ferrox.mainFile; the
-- path is absolute, or null when no main file is set.

local source = debug.getinfo(1, 'S').source:sub(2)
local vim_files = vim.fn.fnamemodify(source, ':p:h:h') .. '/vim'

vim.opt.runtimepath:prepend(vim_files)
if vim.g.did_load_filetypes == nil then
  vim.cmd('filetype plugin on')
else
  -- Detection is loaded already: add ours to it as :filetype would.
  vim.cmd('augroup filetypedetect')
  vim.cmd('source ' .. vim.fn.fnameescape(vim_files .. '/ftdetect/ferrox.vim'))
  vim.cmd('augroup END')
end
vim.cmd('syntax enable')

local function server_command()
  local command = vim.g.ferrox_lsp_cmd
  if command == nil or command == '' then
    command = vim.env.FERROX_LSP
  end
  if command == nil or command == '' then
    command = 'ferrox-lsp'
  end
  return type(command) == 'string' and { command } or command
end

local function main_file()
  local main = vim.g.ferrox_main_file
  if main == nil or main == '' then
    main = vim.env.FERROX_MAIN_FILE
  end
  if main == nil or main == '' then
    return nil
  end
  return vim.fn.fnamemodify(main, ':p')
end

local function root_folder(buffer, main)
  if main ~= nil then
    return vim.fn.fnamemodify(main, ':h')
  end
  local name = vim.api.nvim_buf_get_name(buffer)
  local folder = name ~= '' and vim.fn.fnamemodify(name, ':p:h') or vim.fn.getcwd()
  -- .git is a folder in a clone and a file in a worktree.
  local up = vim.fn.fnameescape(folder) .. ';'
  local marker = vim.fn.finddir('.git', up)
  if marker == '' then
    marker = vim.fn.findfile('.git', up)
  end
  if marker == '' then
    return folder
  end
  return vim.fn.fnamemodify(vim.fn.fnamemodify(marker, ':p'):gsub('/$', ''), ':h')
end

-- Neovim 0.7 has no vim.lsp.start: one client per root folder, started
-- here, and each buffer attached to it.
local clients = {}

local function start(buffer)
  local main = main_file()
  local root = root_folder(buffer, main)
  local config = {
    name = 'ferrox-lsp',
    cmd = server_command(),
    root_dir = root,
    init_options = { mainFile = main or vim.NIL },
    settings = { ferrox = { mainFile = main or vim.NIL } },
  }
  if vim.lsp.start ~= nil then
    vim.lsp.start(config, { bufnr = buffer })
    return
  end
  -- Later versions send the settings after initialize by themselves.
  config.on_init = function(client)
    client.notify('workspace/didChangeConfiguration', { settings = config.settings })
  end
  local id = clients[root]
  if id == nil or vim.lsp.client_is_stopped(id) then
    id = vim.lsp.start_client(config)
    clients[root] = id
  end
  if id ~= nil then
    vim.lsp.buf_attach_client(buffer, id)
  end
end

vim.api.nvim_create_autocmd('FileType', {
  group = vim.api.nvim_create_augroup('ferrox_lsp', { clear = true }),
  pattern = 'ferrox',
  callback = function(event)
    start(event.buf)
  end,
})
