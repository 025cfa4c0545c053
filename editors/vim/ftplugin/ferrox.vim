" Vim filetype plugin for Tavrune assembly sources (ferrox).

if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1

" Comments run from ";" to the end of the line. Names are letters, digits
" and "_"; "." joins the parts of a qualified name, so it is no part of one.
setlocal commentstring=;\ %s
setlocal comments=:;
setlocal iskeyword=a-z,A-Z,48-57,_
setlocal formatoptions-=t formatoptions+=croql

" % jumps between ifdef/ifndef, else and endif, and namespace and end
" (with the matchit plugin).
let b:match_ignorecase = 1
let b:match_words = '^\s*\<ifn\=def\>:^\s*\<else\>:^\s*\<endif\>,\<namespace\>:\<end\>'

let b:undo_ftplugin = 'setlocal commentstring< comments< iskeyword< formatoptions<'
      \ . ' | unlet! b:match_ignorecase b:match_words'
