-- Run by nvim_test.sh inside `nvim --headless`: attaches the language server
-- to the current buffer, asks for the code actions at the cursor, picks the
-- comment action, waits for the caret, writes the buffer and what happened.
-- With QM_MODE=refresh: waits for the stale block's diagnostic, picks its
-- quick fix and waits for the diagnostic to go away instead.
--   QM_SERVER, QM_SETTINGS, QM_RESULT, QM_MODE come from the environment.
local result_path = os.getenv('QM_RESULT')
local refresh_mode = os.getenv('QM_MODE') == 'refresh'
local lines = {}
local function finish(status)
  table.insert(lines, 'status ' .. status)
  local f = io.open(result_path, 'w')
  f:write(table.concat(lines, '\n') .. '\n')
  f:close()
  vim.cmd('write!')
  vim.cmd('qall!')
end

-- Neovim 0.7 has no window/showDocument handler: the README's lines for it,
-- run as they stand there.
local function readme_lines()
  local block = nil
  for line in io.lines(os.getenv('QM_README')) do
    if block then
      if line == '```' then
        if table.concat(block, '\n'):find("['window/showDocument']", 1, true) then return block end
        block = nil
      else
        table.insert(block, line)
      end
    elseif line == '```lua' then
      block = {}
    end
  end
  error('no window/showDocument handler in the README')
end
local chunk = assert(loadstring(table.concat(readme_lines(), '\n') .. '\nreturn capabilities, handlers'))
local capabilities, handlers = chunk()
local caret = nil
local readme_handler = handlers['window/showDocument']
handlers['window/showDocument'] = function(err, params, ctx)
  -- Where it puts the cursor, before Normal mode keeps it off a line's end.
  local set_cursor = vim.api.nvim_win_set_cursor
  vim.api.nvim_win_set_cursor = function(window, position)
    caret = position
    return set_cursor(window, position)
  end
  local answer = readme_handler(err, params, ctx)
  vim.api.nvim_win_set_cursor = set_cursor
  return answer
end

local client_id = vim.lsp.start_client({
  cmd = { os.getenv('QM_SERVER'), 'lsp', '--settings', os.getenv('QM_SETTINGS') },
  name = 'quillmark',
  root_dir = vim.fn.getcwd(),
  -- The system's own behaviour is the keyword mode's, asked for outright.
  init_options = { parser = 'keywords' },
  capabilities = capabilities,
  handlers = handlers,
})
vim.lsp.buf_attach_client(0, client_id)
local client = vim.lsp.get_client_by_id(client_id)
if not vim.wait(10000, function() return client.initialized end, 20) then
  table.insert(lines, 'error: the server did not initialize')
  return finish('failed')
end

-- The picker: record every title, choose the comment action (the quick fix).
local wanted = refresh_mode and '^Quillmark: refresh comment of ' or '^Quillmark: comment '
vim.ui.select = function(items, opts, on_choice)
  local chosen = nil
  for _, item in ipairs(items) do
    local title = opts.format_item(item)
    table.insert(lines, 'action ' .. title)
    if chosen == nil and title:find(wanted) then chosen = item end
  end
  on_choice(chosen)
end

if refresh_mode then
  if not vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 20) then
    table.insert(lines, 'error: no diagnostic from the server')
    return finish('failed')
  end
  for _, d in ipairs(vim.diagnostic.get(0)) do
    table.insert(lines, string.format('diagnostic %s %d %d', d.source, d.severity, d.lnum + 1))
  end
  vim.lsp.buf.code_action()
  if not vim.wait(10000, function() return #vim.diagnostic.get(0) == 0 end, 20) then
    table.insert(lines, 'error: the diagnostic stayed after the quick fix')
    return finish('failed')
  end
  table.insert(lines, 'cleared')
  return finish('ok')
end

vim.lsp.buf.code_action()
if not vim.wait(10000, function() return caret ~= nil end, 20) then
  table.insert(lines, 'error: no caret from the server')
  return finish('failed')
end
local line = vim.api.nvim_buf_get_lines(0, caret[1] - 1, caret[1], true)[1]
-- 1-based character column, as the command line prints it.
table.insert(lines, string.format('caret %d:%d', caret[1], vim.str_utfindex(line, caret[2]) + 1))
local cursor = vim.api.nvim_win_get_cursor(0)
table.insert(lines, string.format('cursor-line %d', cursor[1]))
finish('ok')
