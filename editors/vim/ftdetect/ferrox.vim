" Vim filetype detection: Tavrune assembly sources and include files.
autocmd BufNewFile,BufRead *.tvs,*.tvh setfiletype ferrox
