#pragma once

#include <QString>

namespace lexivo::cli {

struct Output {
    QString stdoutText;
    QString stderrText;
};

// Each returns the exit code (0 success, 1 failure) and throws lexivo::Error
// for failures that end the command.

// The start-up steps that need no window: paths, usecode, funclist.txt,
// orig.pak and the other workspace files.
int init(const QString& programDirectory, Output& out);
// Creates the translation file of every function that has none, exactly as
// showing the function would.
int extract(const QString& programDirectory, Output& out);
// The rebuild as the window's commands run it: fast re-encodes the functions
// whose translation file differs from the usecode file's strings, complete
// every function with one. 1 when any translation did not go in (the message
// says whether the usecode file was written).
int rebuild(const QString& programDirectory, bool complete, Output& out);
// Verifies the game's usecode with the code verifier and every translation
// file's line count against its function; one line per problem, 1 if any.
int check(const QString& programDirectory, Output& out);

} // namespace lexivo::cli
