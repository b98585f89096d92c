#include "testgame.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace lexivo::testing {

QByteArray smallUsecode(const QList<QList<QByteArray>>& stringsPerFunction, bool withSymbols) {
    QByteArray image;
    if (withSymbols) {
        QList<gamebuild::SymbolSpec> symbols;
        for (int i = 0; i < stringsPerFunction.size(); ++i) {
            gamebuild::SymbolSpec s;
            s.name = "func_" + QByteArray::number(0x400 + i, 16);
            s.kind = 1;
            s.value = quint32(0x400 + i);
            symbols << s;
        }
        image += gamebuild::symbolTableHeader(symbols);
    }
    for (int i = 0; i < stringsPerFunction.size(); ++i) {
        gamebuild::FunctionSpec f;
        f.number = quint16(0x400 + i);
        f.strings = stringsPerFunction[i];
        f.code = gamebuild::simpleConversation(int(f.strings.size()));
        image += gamebuild::functionRecord(f);
    }
    return image;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

Snapshot snapshot(const QString& root) {
    Snapshot files;
    const QString base = QDir(root).absolutePath() + QLatin1Char('/');
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QFileInfo(it.next()).absoluteFilePath();
        files.insert(path.startsWith(base) ? path.mid(base.size()) : path, readFile(path));
    }
    return files;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void writeIni(const QString& programDir, const QString& gameDir, const QString& editorDir,
              const QByteArray& extra) {
    QByteArray ini = "[DIRECTORY]\r\nU7=" + QFile::encodeName(gameDir) + "\r\n";
    if (!editorDir.isEmpty()) ini += "EDITOR=" + QFile::encodeName(editorDir) + "\r\n";
    ini += extra;
    writeFile(programDir + "/LEXIVO.INI", ini);
}

} // namespace lexivo::testing
