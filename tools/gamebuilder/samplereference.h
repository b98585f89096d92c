#pragma once

// A reference translation of the sample game, as an earlier translation team
// would have left it: the usecode file they translated (in a made-up
// language) and the pack of the originals they translated from. Their
// originals come from an earlier edition of the game: some lines read a
// little differently from the sample game's, so that a translator sees
// similar proposals beside exact ones.

#include "gamebuilder/samplegame.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace lexivo::gamebuild {

struct SampleReference {
    QByteArray usecode;     // the translated usecode file
    QByteArray packContent; // the uncompressed pack: one block per function of the table
    QList<QList<QByteArray>> originals;    // per function of the table, its block
    QList<QList<QByteArray>> translations; // per function, its translated strings
};

// The made-up language of the reference: vowels rotated (a e i o u), "th"
// becomes "d" and "w" becomes "vv"; the escapes \N and \T and every other
// byte stay as they are. Works on text forms.
QByteArray madeUpTranslation(const QByteArray& textForm);

// The earlier edition's reading of string s of function f (index in the
// function table): most lines are the same, some differ by a word.
QByteArray earlierEdition(const QByteArray& textForm, int function, int string);

// The reference of the sample game of that scale, made from the game's own
// usecode file with every function's strings replaced by the translation of
// its earlier-edition originals (the rebuild engine relocates the code).
SampleReference sampleReference(SampleScale scale = SampleScale::Small);

// Writes DIR/usecode and DIR/ref.pak (created when missing, replaced when
// there). Throws lexivo::FileError. Returns the paths written.
QList<QString> writeSampleReference(const QString& dir, SampleScale scale = SampleScale::Small);

} // namespace lexivo::gamebuild
