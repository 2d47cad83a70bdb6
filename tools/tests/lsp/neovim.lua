-- Drives kolt-settings lsp through Neovim's own LSP client (written for Neovim 0.7, the
-- version of Debian 12) and writes what the editor saw, one line per step, to
-- $KOLT_LSP_OUT. Started by test_lsp_neovim.py with $KOLT_LSP_SERVER and $KOLT_LSP_FILE.
local seen = {}
local function say(...)
  table.insert(seen, string.format(...))
end
local function finish(status)
  vim.fn.writefile(seen, os.getenv('KOLT_LSP_OUT'))
  vim.cmd(status == 0 and 'qall!' or 'cquit! ' .. status)
end

local buf, client
local published = {} -- every publication, in order
local function wait_for(what, condition)
  if not vim.wait(10000, condition, 10) then
    error('timed out waiting for ' .. what)
  end
end
local function request(method, params)
  local replies = vim.lsp.buf_request_sync(buf, method, params, 10000)
  local reply = replies and replies[client.id]
  if not reply or reply.error then
    error(method .. ' failed: ' .. vim.inspect(reply))
  end
  return reply.result
end
local function at(line, character) -- 0-based, in UTF-16 units
  return { textDocument = { uri = vim.uri_from_bufnr(buf) }, position = { line = line, character = character } }
end
-- The first line (0-based) holding `text`, and the byte column where it starts.
local function find(text)
  for i, line in ipairs(vim.api.nvim_buf_get_lines(buf, 0, -1, false)) do
    local col = line:find(text, 1, true)
    if col then
      return i - 1, col - 1
    end
  end
  error('no ' .. text .. ' in the buffer')
end
-- The diagnostics of the buffer's current version, once published, as the editor shows
-- them: the text each range covers, then code and message.
local function current_diagnostics(label)
  wait_for(label, function()
    local last = published[#published]
    return last and last.version == vim.lsp.util.buf_versions[buf]
  end)
  local shown = vim.diagnostic.get(buf)
  if #shown == 0 then
    say('%s: none', label)
  end
  for _, d in ipairs(shown) do
    local line = vim.api.nvim_buf_get_lines(buf, d.lnum, d.lnum + 1, false)[1]
    say('%s: line %d "%s" %s %s %s', label, d.lnum + 1, line:sub(d.col + 1, d.end_col),
      vim.diagnostic.severity[d.severity], d.code, d.message)
  end
  return shown
end

local function main()
  vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('KOLT_LSP_FILE')))
  buf = vim.api.nvim_get_current_buf()
  local id = vim.lsp.start_client({
    name = 'kolt-settings',
    cmd = { os.getenv('KOLT_LSP_SERVER'), 'lsp', '--debounce=50' },
    root_dir = vim.fn.expand('%:p:h'),
    flags = { debounce_text_changes = 0 },
    handlers = {
      ['textDocument/publishDiagnostics'] = function(err, result, ctx, config)
        table.insert(published, result)
        return vim.lsp.handlers['textDocument/publishDiagnostics'](err, result, ctx, config)
      end,
    },
  })
  vim.lsp.buf_attach_client(buf, id)
  client = vim.lsp.get_client_by_id(id)

  -- The misspelt list name: its diagnostic, then the quick fix from its hint.
  local shown = current_diagnostics('diagnostics')
  local line = shown[1].lnum
  local params = at(line, 0)
  params.range = { start = params.position, ['end'] = { line = line + 1, character = 0 } }
  params.position = nil
  params.context = { diagnostics = vim.lsp.diagnostic.get_line_diagnostics(buf, line) }
  local actions = request('textDocument/codeAction', params)
  for _, action in ipairs(actions) do
    say('code action: %s (%s)', action.title, action.kind)
  end
  vim.lsp.util.apply_workspace_edit(actions[1].edit, client.offset_encoding)
  say('after the fix: %s', vim.trim(vim.api.nvim_buf_get_lines(buf, line, line + 1, false)[1]))
  current_diagnostics('diagnostics after the fix')

  -- Hover on the list name, now spelt right.
  local l, c = find('<Macro2Expand>')
  local _, character = vim.str_utfindex(vim.api.nvim_buf_get_lines(buf, l, l + 1, false)[1], c + 1)
  local hover = request('textDocument/hover', at(l, character))
  say('hover on Macro2Expand: %s', hover and hover.contents.value:gsub('\n+', ' / ') or 'nothing')

  -- The outline.
  for _, section in ipairs(request('textDocument/documentSymbol', at(0, 0))) do
    for _, group in ipairs(section.children) do
      for _, list in ipairs(group.children) do
        say('symbol: %s > %s > %s (%s)', section.name, group.name, list.name, list.detail)
      end
    end
  end

  -- Completion where a child of Global_OptionLists begins.
  l = find('<Global_OptionLists>')
  vim.api.nvim_buf_set_lines(buf, l + 1, l + 1, false, { '      <' })
  local items = {}
  for _, item in ipairs(request('textDocument/completion', at(l + 1, 7)).items) do
    table.insert(items, item.label)
  end
  say('completion in Global_OptionLists: %s', table.concat(items, ' '))
end

local ok, err = pcall(main)
if not ok then
  say('error: %s', err)
end
finish(ok and 0 or 1)
