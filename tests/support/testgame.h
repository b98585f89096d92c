#pragma once

// Small game folders and workspaces for tests, built in temporary folders.

#include "gamebuilder/usecodebuilder.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace lexivo::testing {

// A usecode image of standard records with simple code, one per entry of
// stringsPerFunction (function numbers 0x400, 0x401, ...), optionally behind a
// symbol-table header that names each function "func_<hex>".
QByteArray smallUsecode(const QList<QList<QByteArray>>& stringsPerFunction,
                        bool withSymbols = false);

void writeFile(const QString& path, const QByteArray& bytes);
// Every file under root (hidden ones and subfolders included) with its bytes,
// keyed by its path relative to root: to show what a command wrote or not.
using Snapshot = QMap<QString, QByteArray>;
Snapshot snapshot(const QString& root);
QByteArray readFile(const QString& path);

// Writes LEXIVO.INI into programDir with DIRECTORY/U7 = gameDir and
// DIRECTORY/EDITOR = editorDir (when not empty), plus extra lines.
void writeIni(const QString& programDir, const QString& gameDir, const QString& editorDir = {},
              const QByteArray& extra = {});

} // namespace lexivo::testing
