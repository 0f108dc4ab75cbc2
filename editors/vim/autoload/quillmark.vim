" Quillmark for Vim and Neovim: runs the quillmark program on the buffer
" through its buffer protocol (the buffer on standard input; a JSON line and
" the resulting buffer on standard output) and applies the lines that changed.

let s:save_cpo = &cpo
set cpo&vim

function! s:program() abort
  return get(g:, 'quillmark_executable', 'quillmark')
endfunction

function! s:warn(text) abort
  echohl WarningMsg
  for l:line in split(a:text, "\n")
    echomsg l:line
  endfor
  echohl None
endfunction

" Messages come in UTF-8; Vim may hold its text in another encoding.
function! s:from_utf8(text) abort
  if &encoding ==# 'utf-8'
    return a:text
  endif
  let l:converted = iconv(a:text, 'utf-8', &encoding)
  return l:converted ==# '' ? a:text : l:converted
endfunction

" The program, or an empty string after saying it is missing.
function! s:find_program() abort
  let l:program = s:program()
  if executable(l:program)
    return l:program
  endif
  call s:warn('Quillmark: the program "' . l:program . '" was not found; install quillmark or '
        \ . 'set g:quillmark_executable to its path')
  return ''
endfunction

function! s:settings_args() abort
  let l:file = get(g:, 'quillmark_settings', '')
  return l:file ==# '' ? [] : ['--settings', shellescape(l:file)]
endfunction

" --parser when g:quillmark_parser chooses one; else the program's default.
function! s:parser_args() abort
  let l:parser = get(g:, 'quillmark_parser', '')
  return l:parser ==# '' ? [] : ['--parser', shellescape(l:parser)]
endfunction

" The encoding the file is written in, and the --encoding it means.
function! s:file_encoding() abort
  let l:fenc = &fileencoding ==# '' ? &encoding : &fileencoding
  if l:fenc =~? '^utf-\?8$'
    return [l:fenc, 'utf-8']
  elseif l:fenc =~? '^\(cp936\|gbk\|euc-cn\|gb2312\|chinese\)$'
    return [l:fenc, 'gbk']
  endif
  " Other one-byte encodings pass through unchanged; quillmark looks at the bytes.
  return [l:fenc, 'auto']
endfunction

function! s:writes_eol() abort
  return &endofline || (exists('+fixendofline') && &fixendofline && !&binary)
endfunction

" The lines converted from one encoding to another, or v:null when one of them
" cannot be.
function! s:convert(lines, from, to) abort
  let l:converted = []
  for l:line in a:lines
    let l:out = iconv(l:line, a:from, a:to)
    if l:out ==# '' && l:line !=# ''
      return v:null
    endif
    call add(l:converted, l:out)
  endfor
  return l:converted
endfunction

" The buffer as the file would be written, as writefile(..., 'b') items, or
" v:null when a line cannot be written in the file's encoding.
function! s:buffer_items(fenc) abort
  let l:lines = getline(1, '$')
  if a:fenc !=# &encoding
    let l:converted = s:convert(l:lines, &encoding, a:fenc)
    if l:converted is v:null
      return v:null
    endif
    let l:lines = l:converted
  endif
  let l:eol = s:writes_eol()
  if &fileformat ==# 'mac'
    return [join(l:lines, "\r") . (l:eol ? "\r" : '')]
  endif
  if &fileformat ==# 'dos'
    call map(l:lines, 'v:val . "\r"')
    if !l:eol
      let l:lines[-1] = l:lines[-1][:-2]
    endif
  endif
  return l:eol ? l:lines + [''] : l:lines
endfunction

" The lines of a resulting buffer read back with readfile(..., 'b'), in Vim's
" encoding, or v:null when they cannot be converted.
function! s:result_lines(items, fenc) abort
  let l:eol = s:writes_eol()
  if &fileformat ==# 'mac'
    let l:lines = split(join(a:items, "\n"), "\r", 1)
    if l:eol && len(l:lines) > 1 && l:lines[-1] ==# ''
      call remove(l:lines, -1)
    endif
  else
    let l:lines = copy(a:items)
    let l:broken = len(l:lines) - 1
    if l:eol && len(l:lines) > 1 && l:lines[-1] ==# ''
      call remove(l:lines, -1)
      let l:broken = len(l:lines)
    endif
    if &fileformat ==# 'dos'
      " Each line followed by a break lost its CR to the format.
      for l:i in range(l:broken)
        if l:lines[l:i] =~# "\r$"
          let l:lines[l:i] = l:lines[l:i][:-2]
        endif
      endfor
    endif
  endif
  return a:fenc ==# &encoding ? l:lines : s:convert(l:lines, a:fenc, &encoding)
endfunction

" Replaces only the lines that differ, so marks and folds elsewhere stay.
function! s:apply(new) abort
  let l:old = getline(1, '$')
  let [l:n, l:m] = [len(l:old), len(a:new)]
  let l:pre = 0
  while l:pre < l:n && l:pre < l:m && l:old[l:pre] ==# a:new[l:pre]
    let l:pre += 1
  endwhile
  let l:suf = 0
  while l:suf < l:n - l:pre && l:suf < l:m - l:pre
        \ && l:old[l:n - 1 - l:suf] ==# a:new[l:m - 1 - l:suf]
    let l:suf += 1
  endwhile
  let l:old_count = l:n - l:pre - l:suf
  let l:new_count = l:m - l:pre - l:suf
  let l:common = min([l:old_count, l:new_count])
  if l:common > 0
    call setline(l:pre + 1, a:new[l:pre : l:pre + l:common - 1])
  endif
  if l:new_count > l:old_count
    call append(l:pre + l:common, a:new[l:pre + l:common : l:pre + l:new_count - 1])
  elseif l:old_count > l:new_count
    silent execute (l:pre + l:common + 1) . ',' . (l:pre + l:old_count) . 'delete _'
  endif
endfunction

" 1-based character column of a byte column of a line.
function! s:char_column(line, col) abort
  return strchars(strpart(getline(a:line), 0, a:col - 1)) + 1
endfunction

" Selection options for a range: the Visual selection when the range is the
" one ':' makes in Visual mode, else the lines with the caret on the first.
function! s:selection_args(line1, line2, range) abort
  if a:range == 0
    return ['--line', line('.')]
  endif
  if a:range == 2 && a:line1 == line("'<") && a:line2 == line("'>") && visualmode() !=# ''
    " gv brings the selection back with the caret where the user left it.
    normal! gv
    let [l:anchor, l:caret, l:mode] = [getpos('v'), getpos('.'), mode()]
    execute "normal! \<Esc>"
    let l:forward = l:caret[1] > l:anchor[1]
          \ || (l:caret[1] == l:anchor[1] && l:caret[2] >= l:anchor[2])
    let [l:first, l:last] = l:forward ? [l:anchor, l:caret] : [l:caret, l:anchor]
    if l:mode ==# 'v'
      let l:start = [l:first[1], s:char_column(l:first[1], l:first[2])]
      let l:text = getline(l:last[1])
      if l:last[2] > len(l:text)
        " The line break is selected too.
        let l:end = l:last[1] < line('$') ? [l:last[1] + 1, 1] : [l:last[1], strchars(l:text) + 1]
      else
        let l:end = [l:last[1], s:char_column(l:last[1], l:last[2])
              \ + (&selection ==# 'exclusive' ? 0 : 1)]
      endif
    else
      " Line- and block-wise: the lines whole.
      let l:start = [l:first[1], 1]
      let l:end = [l:last[1], strchars(getline(l:last[1])) + 1]
    endif
    let [l:from, l:to] = l:forward ? [l:start, l:end] : [l:end, l:start]
    return ['--select', printf('%d:%d-%d:%d', l:from[0], l:from[1], l:to[0], l:to[1])]
  endif
  return ['--lines', a:line1 . '-' . a:line2]
endfunction

" Runs `quillmark SUBCOMMAND -` on the buffer and applies the reply.
function! s:run(subcommand, selection) abort
  let l:program = s:find_program()
  if l:program ==# ''
    return
  endif
  if !&modifiable
    call s:warn('Quillmark: the buffer cannot be changed (''modifiable'' is off)')
    return
  endif
  let [l:fenc, l:encoding] = s:file_encoding()
  let l:items = s:buffer_items(l:fenc)
  if l:items is v:null
    call s:warn('Quillmark: the buffer cannot be written as ' . l:fenc)
    return
  endif
  let [l:in, l:out, l:err] = [tempname(), tempname(), tempname()]
  try
    call writefile(l:items, l:in, 'b')
    let l:command = join([shellescape(l:program)] + s:settings_args() + s:parser_args()
          \ + [a:subcommand, '-', '--format', 'json', '--encoding', l:encoding,
          \    '--assume-filename', shellescape(expand('%:p'))]
          \ + a:selection)
    call system(l:command . ' <' . shellescape(l:in) . ' >' . shellescape(l:out)
          \ . ' 2>' . shellescape(l:err))
    let l:exit = v:shell_error
    let l:reply = filereadable(l:out) ? readfile(l:out, 'b') : []
    let l:header = v:null
    if !empty(l:reply) && l:reply[0] =~# '^{'
      try
        let l:header = json_decode(l:reply[0])
      catch
      endtry
    endif
    if type(l:header) != type({})
      let l:why = filereadable(l:err) ? join(readfile(l:err), "\n") : ''
      call s:warn('Quillmark: ' . a:subcommand . ' failed (exit status ' . l:exit . ')'
            \ . (l:why ==# '' ? '' : ': ' . l:why))
      return
    endif
    let l:message = s:from_utf8(l:header.message)
    if l:header.status == 1
      call s:warn(l:message)
    elseif l:header.status != 0
      call s:warn('Quillmark: ' . l:message)
    endif
    if l:header.status != 0 || !l:header.changed
      return
    endif
    let l:lines = s:result_lines(l:reply[1:], l:fenc)
    if l:lines is v:null
      call s:warn('Quillmark: the result cannot be read as ' . l:fenc)
      return
    endif
    call s:apply(l:lines)
    let l:line = l:header.line
    let l:byte = byteidxcomp(getline(l:line), l:header.column - 1)
    call cursor(l:line, l:byte < 0 ? len(getline(l:line)) + 1 : l:byte + 1)
  finally
    for l:file in [l:in, l:out, l:err]
      call delete(l:file)
    endfor
  endtry
endfunction

function! quillmark#comment(line1, line2, range) abort
  call s:run('comment', s:selection_args(a:line1, a:line2, a:range))
endfunction

function! quillmark#header() abort
  call s:run('header', [])
endfunction

function! quillmark#delete(line1, line2, range) abort
  call s:run('delete', s:selection_args(a:line1, a:line2, a:range))
endfunction

function! quillmark#refresh(line1, line2, range) abort
  call s:run('refresh', s:selection_args(a:line1, a:line2, a:range))
endfunction

" :QuillmarkCheck without arguments: the buffer's text as it would be written,
" in a copy under the file's own name (the check reads files only); with
" arguments, those files and directories on disk. The findings go to the
" quickfix list.
function! quillmark#check(...) abort
  let l:program = s:find_program()
  if l:program ==# ''
    return
  endif
  let l:copy = ''
  if a:0 > 0
    let l:targets = map(copy(a:000), 'shellescape(expand(v:val))')
    let l:encoding = 'auto'
  else
    let [l:fenc, l:encoding] = s:file_encoding()
    let l:items = s:buffer_items(l:fenc)
    if l:items is v:null
      call s:warn('Quillmark: the buffer cannot be written as ' . l:fenc)
      return
    endif
    let l:directory = tempname()
    call mkdir(l:directory, 'p')
    let l:name = expand('%:t')
    let l:copy = l:directory . '/' . (l:name ==# '' ? 'buffer.cpp' : l:name)
    call writefile(l:items, l:copy, 'b')
    let l:targets = [shellescape(l:copy)]
  endif
  let l:err = tempname()
  try
    let l:out = system(join([shellescape(l:program)] + s:settings_args()
          \ + ['check', '--format', 'json', '--encoding', l:encoding] + l:targets)
          \ . ' 2>' . shellescape(l:err))
    let l:exit = v:shell_error
    let l:why = filereadable(l:err) ? join(readfile(l:err), "\n") : ''
    let l:found = v:null
    try
      let l:found = json_decode(l:out)
    catch
    endtry
    if type(l:found) != type([])
      call s:warn('Quillmark: check failed (exit status ' . l:exit . ')'
            \ . (l:why ==# '' ? '' : ': ' . s:from_utf8(l:why)))
      return
    endif
    let l:list = []
    for l:finding in l:found
      let l:entry = {'lnum': l:finding.line, 'col': l:finding.column, 'type': 'W',
            \ 'text': s:from_utf8(l:finding.message)}
      if l:copy ==# ''
        let l:entry.filename = l:finding.path
      else
        let l:entry.bufnr = bufnr('%')
      endif
      call add(l:list, l:entry)
    endfor
    call setqflist([], ' ', {'title': 'Quillmark check', 'items': l:list})
    if l:exit == 2
      " Some files could not be checked; the others are listed.
      call s:warn('Quillmark: ' . s:from_utf8(l:why))
    endif
    if empty(l:list)
      echomsg 'Quillmark: no stale comment blocks'
    else
      echomsg printf('Quillmark: %d stale comment block%s in the quickfix list (:copen)',
            \ len(l:list), len(l:list) == 1 ? '' : 's')
    endif
  finally
    call delete(l:err)
    if l:copy !=# ''
      call delete(fnamemodify(l:copy, ':h'), 'rf')
    endif
  endtry
endfunction

" A display the dialogs can open on.
function! s:has_display() abort
  return !empty($DISPLAY) || !empty($WAYLAND_DISPLAY)
endfunction

" Starts a dialog and returns at once: the editor stays usable while it is open.
function! s:start_detached(command) abort
  if has('nvim')
    call jobstart(a:command, {'detach': v:true})
  elseif exists('*job_start')
    call job_start(a:command, {'stoponexit': '', 'in_io': 'null', 'out_io': 'null',
          \ 'err_io': 'null'})
  else
    call system(join(map(copy(a:command), 'shellescape(v:val)')) . ' >/dev/null 2>&1 &')
  endif
endfunction

" The settings dialog when it is installed and there is a display, else the
" settings file in a split.
function! quillmark#settings() abort
  if executable('quillmark-dialogs') && s:has_display()
    let l:file = get(g:, 'quillmark_settings', '')
    call s:start_detached(['quillmark-dialogs'] + (l:file ==# '' ? [] : ['--settings', l:file])
          \ + ['settings'])
    echomsg 'Quillmark: the settings dialog opens in its own window'
    return
  endif
  call s:settings_split()
endfunction

" The settings file in a split, as text in Vim's encoding whatever the file's
" (UTF-8 or code page 936). Writing the buffer checks it and hands it to
" `quillmark settings --edit`, which writes the file back in its own encoding.
function! s:settings_split() abort
  let l:program = s:find_program()
  if l:program ==# ''
    return
  endif
  let l:path = substitute(system(join([shellescape(l:program)] + s:settings_args()
        \ + ['settings', '--path'])), '\n\+$', '', '')
  if v:shell_error || l:path ==# ''
    call s:warn('Quillmark: cannot find the settings file: ' . l:path)
    return
  endif
  if !filereadable(l:path)
    " The first run creates it from the defaults.
    call system(join([shellescape(l:program)] + s:settings_args()
          \ + ['settings', '--save', shellescape(l:path)]))
  endif
  execute 'silent split ' . fnameescape('quillmark-settings://' . l:path)
  setlocal buftype=acwrite bufhidden=wipe noswapfile
  let b:quillmark_settings_path = l:path
  " Vim finds the file's encoding and line breaks as it does when editing it.
  let l:fencs = &fileencodings
  try
    let &fileencodings = 'ucs-bom,utf-8,cp936'
    silent %delete _
    let l:raw = readfile(l:path, 'b')
    let l:count = len(l:raw) - (!empty(l:raw) && l:raw[-1] ==# '' ? 1 : 0)
    execute 'silent 0read ++edit ' . fnameescape(l:path)
    " The empty line the buffer started with, where :read leaves it.
    if line('$') > l:count
      silent $delete _
    endif
  finally
    let &fileencodings = l:fencs
  endtry
  setlocal nomodified filetype=dosini
  augroup quillmark_settings
    autocmd! * <buffer>
    autocmd BufWriteCmd <buffer> call s:write_settings()
  augroup END
endfunction

" :write in the settings split: checked first; :write! writes despite warnings.
function! s:write_settings() abort
  let l:program = s:find_program()
  if l:program ==# ''
    return
  endif
  let l:path = b:quillmark_settings_path
  let l:copy = tempname()
  let l:lines = []
  for l:line in getline(1, '$')
    if &encoding !=# 'utf-8'
      let l:line = iconv(l:line, &encoding, 'utf-8')
    endif
    call add(l:lines, l:line . (&fileformat ==# 'dos' ? "\r" : ''))
  endfor
  try
    call writefile(l:lines + [''], l:copy, 'b')
    let l:check = system(join([shellescape(l:program), 'settings', '--check',
          \ shellescape(l:copy)]) . ' 2>&1')
    let l:status = v:shell_error
    let l:check = substitute(l:check, '\V' . escape(l:copy, '\'), escape(l:path, '&\'), 'g')
    if l:status == 2 || (l:status == 1 && !v:cmdbang)
      call s:warn(s:from_utf8(l:check))
      if l:status == 1
        call s:warn('Quillmark: not written; mend the lines above and :write again, '
              \ . 'or :write! to write the file as it is')
      endif
      return
    endif
    " The edit road of the command line, with a copy for an editor.
    let l:reply = system('VISUAL=' . shellescape('cp ' . shellescape(l:copy)) . ' '
          \ . join([shellescape(l:program), '--settings', shellescape(l:path), 'settings',
          \ '--edit']) . ' 2>&1', "w\n")
    if v:shell_error
      call s:warn('Quillmark: ' . s:from_utf8(l:reply))
      return
    endif
    setlocal nomodified
    echomsg 'Quillmark: wrote ' . l:path
  finally
    call delete(l:copy)
  endtry
endfunction

let s:link = 'mailto:qm@example.org'

" The about dialog on a display; without one, the version and the link in :messages.
function! quillmark#about() abort
  if executable('quillmark-dialogs') && s:has_display()
    call s:start_detached(['quillmark-dialogs', 'about'])
    return
  endif
  let l:program = s:find_program()
  if l:program ==# ''
    return
  endif
  let l:version = substitute(system(shellescape(l:program) . ' --version'), '\n\+$', '', '')
  echomsg s:from_utf8(l:version . ' (墨翎): structured Chinese comment blocks for C and C++ '
        \ . 'source. ' . s:link . '  See :help quillmark')
endfunction

let &cpo = s:save_cpo
unlet s:save_cpo
