#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lexivo::cli {

struct Output {
    QString stdoutText;
    QString stderrText;
    // Printed byte for byte after stdoutText: game text in its own code page.
    QByteArray stdoutBytes;
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
// With LINKDEP files beside usecode also: whether they describe the usecode
// file, the functions a rebuild would keep for the original engine or the
// game-text encoding, the limits of that engine after such a rebuild, and
// conversation strings over 999 bytes and text.txt messages over 256.
int check(const QString& programDirectory, Output& out);
// The proposals the translation memory makes for function funcNum (the first
// function with that number): for every line whose text (its translation
// file, else its strings) equals its original, one line "N\tHOW\tTEXT" in
// stdoutBytes, N the line from 0, HOW "exact" or the rounded percentage, TEXT
// the proposed text form. all: the scope is the whole reference (the
// "SearchInAllFunc" toggle down), else the reference function of that number.
// 0 with at least one proposal, 1 with none, without a reference or for an
// unknown function (message on stderrText). Writes nothing: without orig.pak
// the originals are taken as the first start would pack them.
int suggest(const QString& programDirectory, quint16 funcNum, bool all, Output& out);
// The usecode-tab search for text (Windows-1252 bytes): through the
// translation files, or through the originals (orig.pak, or without it the
// originals as the first start would pack them). One line per hit in
// stdoutBytes, the Quick Search row, in hit order; why the search stopped
// early or what it did not search on stderrText. 0 with hits, 1 without.
// Writes nothing.
int find(const QString& programDirectory, const QByteArray& text, bool original, Output& out);
// The work status of every function, one row per function in table order in
// stdoutBytes: HexNum, description, status word (complete, revision,
// working, unassigned), translator name (empty when none), translated lines,
// total lines, separated by tabs (a tab inside a description or name is
// printed as a space). A line is translated when the function's translation
// file exists and the line differs from its original. Then one line
// "total<TAB>translated<TAB>lines". Always 0; writes nothing.
int status(const QString& programDirectory, Output& out);

// The quality checks of every translation file and of text.txt, one line per
// finding in stdoutText: HexNum ("text" for text.txt), the line from 1, the
// check's name and what is wrong, separated by tabs. 0 without findings, 1
// with any. Writes nothing.
int qa(const QString& programDirectory, Output& out);
// The conversation keywords found in the code: one line per keyword line in
// stdoutBytes, HexNum, the line from 1, the kind (compared, offered, both)
// and the original's text form, separated by tabs, by function number, then
// line. 0; 1 when the usecode file cannot be read or is damaged (the damage
// on stderrText). Writes nothing.
int keywords(const QString& programDirectory, Output& out);
// Writes one PO file per function (HexNum.po) and text.po into outDirectory
// (made when missing), UTF-8: msgctxt "HHHH:LINE" or "text:LINE" (LINE from
// 1), msgid the original, msgstr the translation (empty when the line equals
// its original), the description as a translator comment, the line's
// comments from every set as extracted comments, a header naming the
// language (GROUP/LANGUAGE) and the display code page. Writes nothing in the
// workspace.
int exportPo(const QString& programDirectory, const QString& outDirectory, Output& out);
// Writes every translated entry of the PO files back into its translation
// file or text.txt line through the display code page, each changed file
// replaced atomically. Entries whose msgid is no longer the original of that
// line, that hold a character the code page cannot hold, that are fuzzy or
// name no line of the workspace are skipped and said on stderrText; no line
// count changes. 0 when nothing was skipped, 1 otherwise.
int importPo(const QString& programDirectory, const QStringList& poFiles, Output& out);

} // namespace lexivo::cli
