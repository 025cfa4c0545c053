" errorformat.vim - compiler/ferrox.vim turns ferrox's output into quickfix
" entries: file, line, error number and text of every message, nothing from
" the notice after the seventh error, the banner or the report.

" :cgetexpr reads with the global value of 'errorformat'.
compiler! ferrox

let s:output = [
      \ 'prog.tvs (12): error 900: "lod" unknown command or instruction',
      \ 'my prog (1).tvh (3): error 600: see x (4): error 5: y',
      \ 'Error (7): error 905: "x" label used without being defined',
      \ 'Error 200: Cannot open destination file',
      \ 'and more errors...',
      \ 'Ferrox Compiler 1.0.1 for Tavrune',
      \ 'Instructions : 42',
      \ 'Macros       : defined - 3, used - 7',
      \ 'Labels       : defined - 12, used - 15',
      \ 'Source       : lines - 120, files - 2, size - 3500 (3kB)',
      \ 'Output size  : 300 (300B)',
      \ 'Total time   : 0.05s',
      \ 'Errors       : 1 (FAILURE!)',
      \ ]
" [file, line, number, text] of each valid entry, in order.
let s:expected = [
      \ ['prog.tvs', 12, 900, '"lod" unknown command or instruction'],
      \ ['my prog (1).tvh', 3, 600, 'see x (4): error 5: y'],
      \ ['Error', 7, 905, '"x" label used without being defined'],
      \ ['', 0, 200, 'Cannot open destination file'],
      \ ]

cgetexpr s:output
let s:entries = filter(getqflist(), 'v:val.valid')
call assert_equal(len(s:expected), len(s:entries), 'valid entries')
for s:i in range(min([len(s:expected), len(s:entries)]))
  let s:entry = s:entries[s:i]
  let s:file = s:entry.bufnr > 0 ? bufname(s:entry.bufnr) : ''
  call assert_equal(s:expected[s:i],
        \ [s:file, s:entry.lnum, s:entry.nr, s:entry.text], 'entry ' . s:i)
  call assert_equal('e', tolower(s:entry.type), 'type of entry ' . s:i)
endfor

call assert_equal("'ferrox' %:S %:r:S.img", &makeprg)
let g:ferrox_main_file = 'src/my prog%.tvs'
compiler! ferrox
call assert_equal("'ferrox' 'src/my prog\\%.tvs' 'src/my prog\\%.img'", &makeprg)

call luaeval('io.stdout:write(_A .. "\n")', empty(v:errors)
      \ ? 'PASSED: ' . len(s:entries) . ' quickfix entries from ferrox output'
      \ : join(['FAILED:'] + v:errors, "\n"))
execute empty(v:errors) ? 'qall!' : 'cquit!'
