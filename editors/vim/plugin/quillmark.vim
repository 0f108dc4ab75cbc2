" Quillmark (墨翎): structured Chinese comment blocks for C and C++ source.
" Commands and mappings; the work is in autoload/quillmark.vim.
" See :help quillmark.
if exists('g:loaded_quillmark') || &compatible
  finish
endif
let g:loaded_quillmark = 1

command! -range -bar QuillmarkComment call quillmark#comment(<line1>, <line2>, <range>)
command! -bar QuillmarkHeader call quillmark#header()
command! -range -bar QuillmarkDelete call quillmark#delete(<line1>, <line2>, <range>)
command! -range -bar QuillmarkRefresh call quillmark#refresh(<line1>, <line2>, <range>)
command! -nargs=* -complete=file -bar QuillmarkCheck call quillmark#check(<f-args>)
command! -bar QuillmarkSettings call quillmark#settings()
command! -bar QuillmarkAbout call quillmark#about()

" From Visual mode ':' puts '<,'> before the command, which the command takes
" as the Visual selection itself.
nnoremap <silent> <Plug>(QuillmarkComment) :<C-U>QuillmarkComment<CR>
xnoremap <silent> <Plug>(QuillmarkComment) :QuillmarkComment<CR>
nnoremap <silent> <Plug>(QuillmarkHeader) :<C-U>QuillmarkHeader<CR>
nnoremap <silent> <Plug>(QuillmarkDelete) :<C-U>QuillmarkDelete<CR>
xnoremap <silent> <Plug>(QuillmarkDelete) :QuillmarkDelete<CR>
nnoremap <silent> <Plug>(QuillmarkRefresh) :<C-U>QuillmarkRefresh<CR>
xnoremap <silent> <Plug>(QuillmarkRefresh) :QuillmarkRefresh<CR>
nnoremap <silent> <Plug>(QuillmarkCheck) :<C-U>QuillmarkCheck<CR>
nnoremap <silent> <Plug>(QuillmarkSettings) :<C-U>QuillmarkSettings<CR>
nnoremap <silent> <Plug>(QuillmarkAbout) :<C-U>QuillmarkAbout<CR>

if !get(g:, 'quillmark_no_mappings', 0)
  for [s:mode, s:keys, s:plug] in [
        \ ['n', '<Leader>qc', 'QuillmarkComment'],
        \ ['x', '<Leader>qc', 'QuillmarkComment'],
        \ ['n', '<Leader>qh', 'QuillmarkHeader'],
        \ ['n', '<Leader>qd', 'QuillmarkDelete'],
        \ ['x', '<Leader>qd', 'QuillmarkDelete'],
        \ ['n', '<Leader>qr', 'QuillmarkRefresh'],
        \ ['x', '<Leader>qr', 'QuillmarkRefresh'],
        \ ['n', '<Leader>qk', 'QuillmarkCheck'],
        \ ['n', '<Leader>qs', 'QuillmarkSettings'],
        \ ['n', '<Leader>qa', 'QuillmarkAbout']]
    " A key the user mapped already, or a command mapped elsewhere, is left alone.
    if !hasmapto('<Plug>(' . s:plug . ')', s:mode) && maparg(s:keys, s:mode) ==# ''
      execute s:mode . 'map <unique> ' . s:keys . ' <Plug>(' . s:plug . ')'
    endif
  endfor
  unlet s:mode s:keys s:plug
endif
