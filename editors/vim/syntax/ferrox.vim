" Vim syntax file for Tavrune assembly sources (ferrox).
"
" Instructions come from the machine's Instructions.okl, so this file does
" not know their names: the first word of a statement (after an optional
" label) that is no command is shown as an instruction.

if exists('b:current_syntax')
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syntax case ignore
syntax iskeyword a-z,A-Z,48-57,_

" Where two items start at the same column, the one defined later wins, so
" the general ones come first.

" Bytes that start no token.
syntax match ferroxError /[^ \t0-9A-Za-z_,:&^*.;'"+-]/

" Every name, so that no number is found inside one.
syntax match ferroxIdentifier /\<\h\w*\>/

" A number token starts with a digit or a sign and runs on over letters,
" digits, "_", "+", "-" and "."; "a-b" is the name a, then the number -b.
syntax match ferroxNumber /[0-9+-][0-9A-Za-z_+.-]*/
syntax match ferroxFloat /\%([+-]\=\d\+\%(\.\d*\|\%([eE]\)\@=\)\|[+-]\.\d\+\)\%([eE][+-]\=\d\+\)\=[0-9A-Za-z_+.-]\@!/

" Qualified names (io.port) and the name after "namespace".
syntax match ferroxNamespace /\<\h\w*\ze\s*\.\s*\h/
syntax match ferroxNamespace /\%(^\s*\%(\h\w*\s*:\s*\)\=namespace\s\+\)\@<=\h\w*/

syntax match ferroxMode /[&^*]/

syntax match ferroxPredefined /\<__\%(file\|line\|date\|time\|version\)__\>/

" The word that opens a statement: an instruction, unless it is a command.
" A word followed by ":" is a label instead.
syntax match ferroxInstruction /^\s*\zs\h\w*\>\%(\s*:\)\@!/
syntax match ferroxInstruction /\%(^\s*\h\w*\s*:\s*\)\@<=\h\w*\>\%(\s*:\)\@!/
let s:commands = '\%(\%(data\|array\|skip\)\%([1248][ui]\|[48]f\|[0124n]s\)'
      \ . '\|namespace\|end\|offset\|offsetdelta\|includebin'
      \ . '\|bootnone\|bootall\|bootend\|boot\|reserve\)\>\%(\s*:\)\@!'
execute 'syntax match ferroxCommand /^\s*\zs' . s:commands . '/'
execute 'syntax match ferroxCommand /\%(^\s*\h\w*\s*:\s*\)\@<=' . s:commands . '/'
unlet s:commands

" Preprocessor directives stand at the start of a line.
syntax match ferroxDirective /^\s*\zs\%(define\|ifdef\|ifndef\|else\|endif\|include\|error\)\>/
syntax match ferroxMacroName /\%(^\s*\%(define\|ifdef\|ifndef\)\s\+\)\@<=\h\w*/

" Label definitions: at the start of a line, or in front of a parameter.
syntax match ferroxLabel /\<\h\w*\ze\s*:/

" Strings end at their quote or at the end of the line. Escapes: the C
" letters, \xHH and decimal \DDD up to 255; "\0" is always one zero byte.
syntax match ferroxEscapeError /\\\%([xX]\x*\|\d\+\|.\)\=/ contained
syntax match ferroxEscape /\\\%([bfnrtva\\'"0?]\|[xX]0*\x\{1,2}\x\@!\|\%(25[0-5]\|2[0-4]\d\|1\d\d\|[1-9]\d\=\)\d\@!\)/ contained
syntax region ferroxString start=/"/ skip=/\\./ end=/"\|$/ contains=ferroxEscape,ferroxEscapeError
syntax region ferroxString start=/'/ skip=/\\./ end=/'\|$/ contains=ferroxEscape,ferroxEscapeError

syntax keyword ferroxTodo contained TODO FIXME XXX NOTE
syntax match ferroxComment /;.*$/ contains=ferroxTodo,@Spell

highlight default link ferroxError Error
highlight default link ferroxNumber Number
highlight default link ferroxFloat Float
highlight default link ferroxNamespace Type
highlight default link ferroxMode Operator
highlight default link ferroxPredefined Constant
highlight default link ferroxInstruction Function
highlight default link ferroxCommand Statement
highlight default link ferroxDirective PreProc
highlight default link ferroxMacroName Macro
highlight default link ferroxLabel Label
highlight default link ferroxEscapeError Error
highlight default link ferroxEscape SpecialChar
highlight default link ferroxString String
highlight default link ferroxTodo Todo
highlight default link ferroxComment Comment

let b:current_syntax = 'ferrox'

let &cpo = s:cpo_save
unlet s:cpo_save
