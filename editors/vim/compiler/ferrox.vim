" Vim compiler file for ferrox, the Tavrune assembler.
"
" :make assembles the current file into an image beside it with the
" extension .img. Set g:ferrox_main_file to assemble the program's main
" source file instead (useful while editing the files it includes), and
" g:ferrox_program to run another ferrox than the one in PATH.
"
" ferrox names a file without its folder, so the quickfix list finds it
" relative to the current folder: run :make from the folder of the sources.

if exists('current_compiler')
  finish
endif
let current_compiler = 'ferrox'

if exists(':CompilerSet') != 2
  command -nargs=* CompilerSet setlocal <args>
endif

let s:cpo_save = &cpo
set cpo&vim

" The command line; "%" and "#" in a name given by a variable are not
" expanded by :make.
function! s:MakeProgram() abort
  let program = shellescape(get(g:, 'ferrox_program', 'ferrox'))
  let main = get(g:, 'ferrox_main_file', '')
  if empty(main)
    return program . ' %:S %:r:S.img'
  endif
  let image = fnamemodify(main, ':r') . '.img'
  return escape(program . ' ' . shellescape(main) . ' ' . shellescape(image), '%#')
endfunction

execute 'CompilerSet makeprg=' . escape(s:MakeProgram(), ' \|"')
delfunction s:MakeProgram

" "prog.tvs (12): error 900: text" and "Error 200: text". The file name
" ends before " (", and "%trror" makes both entries errors. The eighth
" error's "and more errors...", the banner and the report are dropped.
CompilerSet errorformat=%f\ (%l):\ %trror\ %n:\ %m,
      \%trror\ %n:\ %m,
      \%-G%.%#

let &cpo = s:cpo_save
unlet s:cpo_save
