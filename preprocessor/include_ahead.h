//===- preprocessor/include_ahead.h - Included files lexed ahead -*- C++ -*-===//
//
// A large program often includes large files. While the main file is
// lexed, its include directives are noted, and a helper thread lexes the
// large files they name while the main thread lexes and preprocesses the
// lines before them; the directive then links the lines in instead of
// lexing them itself. Only files that lexed cleanly are used: anything
// that would report a message is lexed again where the directive stands,
// so messages and their order do not change.
//
//===----------------------------------------------------------------------===//
#ifndef FERROX_PREPROCESSOR_INCLUDE_AHEAD_H
#define FERROX_PREPROCESSOR_INCLUDE_AHEAD_H

#include "source/lexer.h"

#include <cstdint>
#include <string>

/// Files smaller than this are lexed where they are included: handing them
/// to the helper costs more than lexing them.
inline constexpr std::uint64_t kMinAheadFileSize = std::uint64_t{256} << 10;

/// From now on, the include directives LoadSourceFile stores at include
/// depth 0 name files to lex ahead (each name once); the helper starts
/// with the first large one.
void BeginIncludeNotes();
/// No more files to lex ahead: the helper ends when it has lexed the ones
/// noted.
void EndIncludeNotes();

/// The file `path` lexed ahead, for an include directive about to load it;
/// waits if the helper is still at it. nullptr when it was not lexed ahead
/// or not cleanly: the caller loads it itself.
CLexedFile *TakeLexedAhead(const std::string &path);

/// Stops noting, stops the helper after its current file, waits for it and
/// frees what was lexed and never taken. Every build that began noting
/// calls it.
void StopLexingAhead();

/// Ends the notes and waits until the helper has lexed every file noted, so
/// a test knows which files the directives will take.
void FinishLexingAheadForTesting();

/// How many files lexed ahead were taken since the last reset.
std::int32_t LexedAheadFilesTaken();

/// StopLexingAhead, and the count back to 0.
void ResetIncludeAhead();

#endif // FERROX_PREPROCESSOR_INCLUDE_AHEAD_H
