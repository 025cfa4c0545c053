" syntax.vim - The shipped examples ($FERROX_EXAMPLES) are detected as
" ferrox sources and highlighted without error: no byte of them is shown as
" an error, and a few words of each get their expected group. "%" pairs
" ifndef with endif and namespace with end.

filetype plugin on
syntax on
packadd matchit

" [file, pattern, group]: the group at the start of the first match.
let s:spots = [
      \ ['hello.tvs', '^; hello', 'ferroxComment'],
      \ ['hello.tvs', '^include', 'ferroxDirective'],
      \ ['hello.tvs', '"console', 'ferroxString'],
      \ ['hello.tvs', 'COUNT 5', 'ferroxMacroName'],
      \ ['hello.tvs', '^bootend', 'ferroxCommand'],
      \ ['hello.tvs', '^start:', 'ferroxLabel'],
      \ ['hello.tvs', '\<print\>', 'ferroxInstruction'],
      \ ['hello.tvs', '\\n"', 'ferroxEscape'],
      \ ['hello.tvs', '\^counter, &', 'ferroxMode'],
      \ ['hello.tvs', 'console\.newline', 'ferroxNamespace'],
      \ ['hello.tvs', 'counter, 0', 'ferroxIdentifier'],
      \ ['hello.tvs', 'data4i \zs0', 'ferroxNumber'],
      \ ['table.tvs', '^namespace squares', 'ferroxCommand'],
      \ ['table.tvs', 'squares$', 'ferroxNamespace'],
      \ ['table.tvs', 'data2u', 'ferroxCommand'],
      \ ['table.tvs', '0FFh', 'ferroxNumber'],
      \ ['table.tvs', '3.14', 'ferroxFloat'],
      \ ['console.tvh', '^ifndef', 'ferroxDirective'],
      \ ['console.tvh', '^newline', 'ferroxLabel'],
      \ ]

function! s:GroupAt(line, column) abort
  return synIDattr(synID(a:line, a:column, 1), 'name')
endfunction

let s:files = glob($FERROX_EXAMPLES . '/*.tv[sh]', 0, 1)
call assert_true(len(s:files) >= 3, 'examples found')
for s:path in s:files
  let v:errmsg = ''
  execute 'edit' fnameescape(s:path)
  let s:name = fnamemodify(s:path, ':t')
  call assert_equal('', v:errmsg, s:name . ': loading')
  call assert_equal(['ferrox', 'ferrox', '; %s'],
        \ [&filetype, get(b:, 'current_syntax', ''), &commentstring], s:name)
  call assert_true(&iskeyword !~# '\.' && 'io_2' =~# '^\k\+$', s:name . ': iskeyword')
  for s:line in range(1, line('$'))
    for s:column in range(1, col([s:line, '$']) - 1)
      let s:group = s:GroupAt(s:line, s:column)
      if s:group =~# 'Error'
        call assert_report(printf('%s:%d:%d is %s', s:name, s:line, s:column, s:group))
      endif
    endfor
  endfor
  for [s:file, s:pattern, s:expected] in s:spots
    if s:file ==# s:name
      call cursor(1, 1)
      let [s:line, s:column] = searchpos(s:pattern, 'cW')
      call assert_equal(s:expected, s:line > 0 ? s:GroupAt(s:line, s:column) : 'no match',
            \ s:name . ': ' . s:pattern)
    endif
  endfor
endfor

for [s:from, s:to] in [['^ifndef', '^endif'], ['^namespace', '^end$']]
  execute 'edit' fnameescape($FERROX_EXAMPLES . '/console.tvh')
  call cursor(search(s:from, 'w'), 1)
  normal %
  call assert_equal(search(s:to, 'nw'), line('.'), '% from ' . s:from)
endfor

call luaeval('io.stdout:write(_A .. "\n")', empty(v:errors)
      \ ? 'PASSED: ' . len(s:files) . ' examples highlighted without error'
      \ : join(['FAILED:'] + v:errors, "\n"))
execute empty(v:errors) ? 'qall!' : 'cquit!'
