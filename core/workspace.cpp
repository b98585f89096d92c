#include "workspace.h"

#include "usecode/linkdep.h"
#include "usecode/rebuild.h"
#include "workspace/cp1252codec.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/paths.h"
#include "workspace/translationfile.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <optional>

namespace lexivo {

namespace {

// A directory value from the configuration: a relative one is taken from the
// program directory (so lexivo-cli behaves the same from any working
// directory), and a missing final separator is added.
QString directoryFromConfig(const QByteArray& value, const QString& programDirectory,
                            const char* key, const QString& iniPath) {
    if (value.isEmpty()) return {};
    // A damaged file can hold anything here; a value no folder can have is
    // refused up front, rather than carried into every path and message.
    constexpr qsizetype LongestPath = 4096;
    const bool control =
        std::any_of(value.begin(), value.end(), [](char c) { return quint8(c) < 0x20; });
    if (control || value.size() > LongestPath)
        throw Error(QStringLiteral("DIRECTORY/%1 in %2 is not a usable folder name (%3 bytes%4).")
                        .arg(QLatin1String(key), iniPath)
                        .arg(value.size())
                        .arg(control ? QStringLiteral(", with control characters") : QString()));
    QString dir = pathFromBytes(value);
    if (QDir::isRelativePath(dir)) dir = programDirectory + dir;
    return withTrailingSlash(QDir::cleanPath(dir));
}

// Upper-case file name -> real name for one directory, so that a rebuild over
// a thousand functions lists the editor directory once instead of per file.
QHash<QString, QString> directoryIndex(const QString& dir) {
    QHash<QString, QString> index;
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QString key = name.toUpper();
        if (!index.contains(key) || name == key) index.insert(key, name);
    }
    return index;
}

} // namespace

Workspace::Workspace(QString programDirectory)
    : m_programDirectory(withTrailingSlash(std::move(programDirectory))) {
    m_editorDirectory = m_programDirectory;
}

Workspace::~Workspace() = default;

QString Workspace::iniPath() const {
    return resolvePath(m_programDirectory, ini::FileName);
}

QString Workspace::usecodePath() const {
    return resolvePath(m_usecodeDirectory, QStringLiteral("usecode"));
}

QString Workspace::origPakPath() const {
    return resolvePath(m_editorDirectory, QStringLiteral("orig.pak"));
}

QString Workspace::funclistPath() const {
    return resolvePath(m_editorDirectory, QStringLiteral("funclist.txt"));
}

QString Workspace::pristineUsecodePath() const {
    return resolvePath(m_editorDirectory, QStringLiteral("usecode.orig"));
}

QString Workspace::notesPath() const {
    const QString path = findEntry(m_editorDirectory, QStringLiteral("notes.rtf"));
    return (!path.isEmpty() && QFileInfo(path).isFile()) ? path : QString();
}

QString Workspace::notesMissingLine() const {
    return m_editorDirectory + QStringLiteral("notes.rtf - not found!");
}

QString Workspace::TranslationFilePath(quint16 funcNum) const {
    return resolvePath(m_editorDirectory, QString::fromLatin1(hexNum(funcNum)) + ".TXT");
}

void Workspace::openConfiguration() {
    const QString path = iniPath();
    m_firstRun = !QFileInfo::exists(path);
    m_ini = std::make_unique<IniFile>(path);
}

void Workspace::readConfiguration() {
    if (!m_ini) openConfiguration();
    m_settings = readSettings(*m_ini, bytesFromPath(m_programDirectory));
    // The user's comment set carries the configured name and colour until
    // the own comment file is read.
    m_comments.startWith(m_settings.userName, qint32(m_settings.userColor));
    m_editorDirectory =
        directoryFromConfig(m_settings.editorDirectory, m_programDirectory, ini::Editor, iniPath());
    if (m_editorDirectory.isEmpty()) m_editorDirectory = m_programDirectory;
    m_gameDirectory =
        directoryFromConfig(m_settings.gameDirectory, m_programDirectory, ini::U7, iniPath());
    m_patchDirectory =
        directoryFromConfig(m_settings.patchDirectory, m_programDirectory, ini::Patch, iniPath());
}

QString Workspace::fontMapFile() const {
    if (!m_settings.fontMapFile.isEmpty()) {
        const QString path = pathFromBytes(m_settings.fontMapFile);
        return QDir::isRelativePath(path) ? m_programDirectory + path : path;
    }
    if (m_patchDirectory.isEmpty()) return {};
    const QString path = findEntry(m_patchDirectory, QStringLiteral("font_map.txt"));
    return !path.isEmpty() && QFileInfo(path).isFile() ? path : QString();
}

void Workspace::setFontSettings(const QByteArray& patchDirectory, const QByteArray& fontMapFile,
                                FontMap::Section gameFont) {
    if (patchDirectory != m_settings.patchDirectory) {
        m_patchDirectory =
            directoryFromConfig(patchDirectory, m_programDirectory, ini::Patch, iniPath());
        m_ini->writeString(ini::Directory, ini::Patch, patchDirectory);
        m_settings.patchDirectory = patchDirectory;
    }
    if (fontMapFile != m_settings.fontMapFile) {
        m_ini->writeString(ini::Directory, ini::FontMapKey, fontMapFile);
        m_settings.fontMapFile = fontMapFile;
    }
    if (gameFont != m_settings.gameFont) {
        writeGameFont(*m_ini, gameFont);
        m_settings.gameFont = gameFont;
    }
    loadFontMap();
}

QString Workspace::utf8Refusal() const {
    if (m_usecodeDirectory.isEmpty() || !findLinkDepFiles(m_usecodeDirectory).present()) return {};
    return QStringLiteral("The game-text encoding UTF-8 cannot be used for this game: LINKDEP1 "
                          "and LINKDEP2 beside %1 belong to the original DOS engine, which draws "
                          "each byte as a letter and cannot read UTF-8 text.")
        .arg(usecodePath());
}

void Workspace::setGameTextEncoding(GameTextEncoding encoding) {
    if (encoding == GameTextEncoding::Utf8) {
        const QString refusal = utf8Refusal();
        if (!refusal.isEmpty()) throw Error(refusal);
    }
    writeGameTextEncoding(*m_ini, encoding);
    m_settings.gameTextEncoding = encoding;
}

void Workspace::loadFontMap() {
    m_fontMap = FontMap::engineDefault();
    m_fontMap = lexivo::loadFontMap(fontMapFile()); // stays the engine's table on a throw
}

void Workspace::chooseGameDirectory(const QString& directory) {
    m_gameDirectory = withTrailingSlash(directory);
    m_settings.gameDirectory = bytesFromPath(m_gameDirectory);
    m_ini->writeString(ini::Directory, ini::U7, m_settings.gameDirectory);
}

void Workspace::useGameDirectory(const QString& directory) {
    m_gameDirectory = withTrailingSlash(directory);
    m_settings.gameDirectory = bytesFromPath(directory);
    if (!locateUsecode()) {
        const QString staticDir = findEntry(m_gameDirectory, QStringLiteral("static"));
        m_usecodeDirectory = staticDir.isEmpty() ? m_gameDirectory + QStringLiteral("static/")
                                                 : withTrailingSlash(staticDir);
    }
}

bool Workspace::locateUsecode() {
    if (m_gameDirectory.isEmpty()) return false;
    if (fileExistsNoCase(m_gameDirectory, QStringLiteral("usecode"))) {
        m_usecodeDirectory = m_gameDirectory;
        return true;
    }
    const QString staticDir = findEntry(m_gameDirectory, QStringLiteral("static"));
    if (!staticDir.isEmpty() && QFileInfo(staticDir).isDir() &&
        fileExistsNoCase(withTrailingSlash(staticDir), QStringLiteral("usecode"))) {
        m_usecodeDirectory = withTrailingSlash(staticDir);
        return true;
    }
    return false;
}

void Workspace::loadUsecode() {
    const QString funclist = funclistPath();
    const bool haveFunclist = QFileInfo(funclist).isFile();
    Lines descriptions;
    if (haveFunclist) descriptions = loadTextLines(funclist);

    // A rebuild stopped while it replaced usecode and its index files
    // together is finished first, so the files loaded belong together.
    if (!m_writeNothing) {
        const QString finished = completePendingWrites(m_usecodeDirectory);
        if (!finished.isEmpty()) m_warnings << finished;
    }
    const QString path = usecodePath();
    m_usecodeStamp.take(path);
    m_usecode = parseUsecode(readWholeFile(path), path);
    m_warnings += m_usecode.problems;
    m_warnings += m_usecode.notices;

    if (m_usecode.hasSymbolTable && !haveFunclist) {
        descriptions = m_usecode.symbolDescriptionLines;
        // funclist.txt is never made again once it exists: a damaged usecode
        // file must not leave a partial one behind for good.
        if (m_usecode.problems.isEmpty() && !m_writeNothing) saveTextLines(funclist, descriptions);
    }
    if (haveFunclist || m_usecode.hasSymbolTable) {
        // One pass over funclist.txt instead of a scan per function: the
        // first line whose name part matches (letter case ignored) wins.
        QHash<QByteArray, QByteArray> byName;
        byName.reserve(descriptions.size());
        for (const QByteArray& line : std::as_const(descriptions)) {
            const qsizetype eq = line.indexOf('=');
            if (eq < 0) continue;
            const QByteArray name = line.left(eq).toUpper();
            if (!byName.contains(name)) byName.insert(name, line.mid(eq + 1));
        }
        for (tFunc& func : m_usecode.funcs)
            func.Description = byName.value(func.HexNum);
    }
    m_keywords.build(m_usecode, m_settings.conversationGame);
    if (m_packLoaded) groupKeywords();
    m_usecodeLoaded = true;
}

void Workspace::groupKeywords() {
    // The keyword lines come by function: each block of the pack is split once.
    int shown = -1;
    Lines originals;
    m_keywords.setOriginals([&](int function, int line) {
        if (function != shown) {
            originals = originalLines(function);
            shown = function;
        }
        return originals.value(line);
    });
}

void Workspace::loadGameText() {
    m_gameTextLoaded = false;
    GameText::Folders folders;
    folders.usecodeDirectory = m_usecodeDirectory;
    folders.editorDirectory = m_editorDirectory;
    // The reference directory is the folder of the reference pack (a relative
    // REF_PAK is taken from the program directory). Without REF_PAK there is
    // none, and no other folder is searched for a reference pair.
    if (!m_settings.refPak.isEmpty()) {
        QString pak = pathFromBytes(m_settings.refPak);
        if (QDir::isRelativePath(pak)) pak = m_programDirectory + pak;
        folders.referenceDirectory = withTrailingSlash(QFileInfo(pak).path());
    }
    const Cp1252Codec codec;
    GameText::Loaded loaded =
        m_gameText.load(folders, textPath(), englishTextPath(), codec, m_warnings);
    UseMessageFile = m_gameText.usesMessageFile();
    m_textLines = std::move(loaded.text);
    m_englishLines = std::move(loaded.english);
    // A byte-order mark another editor added is dropped (and gone from the
    // file at the next save).
    if (m_settings.gameTextEncoding == GameTextEncoding::Utf8) {
        for (Lines* lines : {&m_textLines, &m_englishLines})
            if (!lines->isEmpty()) lines->first() = withoutByteOrderMark(lines->first());
    }
    m_gameTextLoaded = true;
}

QString Workspace::textPath() const {
    return resolvePath(m_editorDirectory, QStringLiteral("text.txt"));
}

QString Workspace::englishTextPath() const {
    return resolvePath(m_editorDirectory, QStringLiteral("text.eng"));
}

void Workspace::saveTextTab(const Lines& lines) {
    saveTextLines(textPath(), lines);
    m_textLines = lines;
}

void Workspace::loadFuncStatus() {
    m_funcStatus.LoadFuncStatus(funcStatusPath(), functionCount(), m_warnings);
}

QString Workspace::funcStatusPath() const {
    return resolvePath(m_editorDirectory, QStringLiteral("FuncStatus.dat"));
}

QByteArray Workspace::translatorName(int number) const {
    return FuncStatus::shownTranslatorName(m_settings.translatorNames, number);
}

QByteArray Workspace::functionTranslatorName(int index) const {
    return translatorName(functionTranslator(index));
}

QList<int> Workspace::setFunctionStatus(const QList<int>& indexes, int code) {
    return m_funcStatus.setStatus(funcStatusPath(), indexes, code);
}

QList<int> Workspace::setFunctionTranslator(const QList<int>& indexes, int translator) {
    return m_funcStatus.setTranslator(funcStatusPath(), indexes, translator);
}

void Workspace::keepPristineCopies() {
    // The game files as they were before Lexivo wrote anything: the rebuild
    // writes over them, and orig.pak (the originals every line is measured
    // against) must be rebuildable from the untouched strings. A damaged
    // usecode file is not kept as "pristine": the pack is not built from it
    // either, and the repaired file is the one to keep.
    const QString pristine = pristineUsecodePath();
    if (m_usecode.problems.isEmpty() && !QFileInfo::exists(pristine))
        writeFileAtomically(pristine, m_usecode.image);
    for (const char* name : {"text.flx", "textmsg.txt"}) {
        const QString game = findEntry(m_usecodeDirectory, QString::fromLatin1(name));
        if (game.isEmpty() || !QFileInfo(game).isFile()) continue;
        const QString copy =
            resolvePath(m_editorDirectory, QString::fromLatin1(name) + QStringLiteral(".orig"));
        if (!QFileInfo::exists(copy)) writeFileAtomically(copy, readWholeFile(game));
    }
}

void Workspace::prepareOriginalPack() {
    const QString path = origPakPath();
    if (!QFileInfo::exists(path)) {
        // No orig.pak: the first start in this editor directory (or the pack
        // was deleted, and then the pristine copy made then is the source).
        keepPristineCopies();
        // The pack is made once and kept for good: from a damaged usecode file
        // it would keep incomplete originals for the rest of the work.
        Pack::write(
            path, originalPackContent(m_usecode, QStringLiteral("%1 was not built, because %2 is "
                                                                "damaged. Repair or replace the "
                                                                "usecode file and start again.")));
    }
    m_pack.load(path);
    m_packLoaded = true;
    groupKeywords();

    // The pack carries no function numbers: it must have been built from this
    // usecode file. Say so once when it cannot have been; missing originals
    // then read as empty lines.
    bool fits = m_pack.blockCount() >= functionCount();
    for (int i = 0; fits && i < functionCount(); ++i) {
        const DataSegment data = dataSegmentOf(m_usecode.image, m_usecode.funcs[i]);
        fits = m_pack.blockLineCount(i) >=
               stringStarts(m_usecode.image.constData() + data.start, data.size).size();
    }
    if (!fits)
        m_warnings << QStringLiteral("Warning! %1 does not belong to this usecode file: it holds "
                                     "fewer functions or strings. Missing originals are shown "
                                     "empty.")
                          .arg(path);
}

void Workspace::loadCommentSets() {
    m_comments.LoadCommentSets(m_editorDirectory, commentFilePath(), m_settings.translatorId,
                               m_warnings);
}

QString Workspace::commentFilePath() const {
    return resolvePath(m_editorDirectory, QString::number(m_settings.translatorId) + ".cmt");
}

void Workspace::addComment(quint16 funcNum, quint16 line, const QByteArray& text,
                           const QDateTime& when) {
    tCmtLine comment;
    comment.Date = oleDateFromDateTime(when);
    comment.Text = text;
    comment.FuncNum = funcNum;
    comment.Line = line;
    m_comments.addComment(commentFilePath(), comment);
}

void Workspace::writeOwnComments() {
    m_comments.writeOwnFile(commentFilePath());
}

void Workspace::loadDictionary() {
    const QString path = dictionaryPath();
    if (QFileInfo(path).isFile()) {
        Lines lines = loadTextLines(path);
        if (m_settings.gameTextEncoding == GameTextEncoding::Utf8 && !lines.isEmpty())
            lines.first() = withoutByteOrderMark(lines.first());
        m_dictionary.LoadDictionary(lines);
    } else
        m_dictionary = Dictionary();
}

QString Workspace::dictionaryPath() const {
    return resolvePath(m_editorDirectory, QStringLiteral("u7.dic"));
}

void Workspace::SaveDictionary() {
    saveTextLines(dictionaryPath(), m_dictionary.fileLines());
}

void Workspace::changeDictionary(const std::function<void(Dictionary&)>& change) {
    // The file as it is now, not as it was at start-up: a colleague sharing
    // the editor directory may have added or removed terms since.
    const QString path = dictionaryPath();
    Dictionary current;
    try {
        if (QFileInfo(path).exists()) current.LoadDictionary(loadTextLines(path));
    } catch (...) {
        change(m_dictionary);
        throw;
    }
    change(current);
    m_dictionary = std::move(current);
    SaveDictionary();
}

void Workspace::addDictionaryEntry(const DictionaryEntry& entry) {
    changeDictionary([&](Dictionary& d) { d.append(entry); });
}

int Workspace::removeDictionaryTerm(const QByteArray& term) {
    int removed = 0;
    changeDictionary([&](Dictionary& d) { removed = d.removeTerm(term); });
    return removed;
}

void Workspace::loadWorkspaceFiles() {
    loadUsecode();
    loadGameText();
    loadFuncStatus();
    prepareOriginalPack();
    loadCommentSets();
    loadDictionary();
    // A font map that cannot be read is said, and the engine's own table
    // used: the translation work does not depend on it.
    try {
        loadFontMap();
    } catch (const Error& e) {
        m_warnings << e.message();
    }
    TranslationsChanged = false;
    TextChanged = false;
    CompleteRebuild = false;
}

bool Workspace::hasReference() const {
    return !m_settings.refUsecode.isEmpty() && !m_settings.refPak.isEmpty();
}

void Workspace::loadReference() {
    const auto path = [&](const QByteArray& value) {
        QString p = pathFromBytes(value);
        return QDir::isRelativePath(p) ? m_programDirectory + p : p;
    };
    // The reference is read with the game's own loader: a symbol table is
    // recognised and 0xFFFE records are stepped over. Damage is said; the
    // functions read before it are used.
    const QString usecode = path(m_settings.refUsecode);
    const UsecodeFile reference = parseUsecode(readWholeFile(usecode), usecode);
    for (const QString& problem : reference.problems)
        m_warnings << QStringLiteral("Warning! The reference usecode is damaged: %1. The "
                                     "translation memory uses the functions before the damage.")
                          .arg(problem);
    QList<TranslationMemory::ReferenceFunction> functions;
    functions.reserve(reference.funcs.size());
    for (const tFunc& func : reference.funcs)
        functions.append({func.FuncNum, extractStrings(reference.image, func)});
    m_memory.load(usecode, functions, reference.problems.isEmpty(), path(m_settings.refPak),
                  m_warnings);
}

void Workspace::findGameWithoutWindow() {
    openConfiguration();
    readConfiguration();
    if (hasReference()) loadReference();
    locateGameWithoutWindow();
}

void Workspace::locateGameWithoutWindow() {
    if (!hasGameDirectory())
        throw Error(QStringLiteral("No game directory: set DIRECTORY/U7 in %1").arg(iniPath()));
    if (!locateUsecode())
        throw Error(QStringLiteral("Warning! Cannot find \"usecode\" file! Check path and file."));
}

void Workspace::startWithoutWindow() {
    findGameWithoutWindow();
    loadWorkspaceFiles();
}

void Workspace::startReadOnly(bool originals) {
    m_writeNothing = true;
    openConfiguration();
    readConfiguration();
    locateGameWithoutWindow();
    loadUsecode();
    if (originals) {
        m_pack = originalPackWithoutWriting(m_usecode);
        m_packLoaded = true;
        groupKeywords();
    }
}

Pack Workspace::originalPackWithoutWriting(const UsecodeFile& game) const {
    Pack pack;
    const QString packPath = origPakPath();
    if (QFileInfo::exists(packPath)) {
        pack.load(packPath);
        return pack;
    }
    pack.setContent(originalPackContent(game, QStringLiteral("%1 does not exist and cannot be "
                                                             "made from %2, which is damaged: "
                                                             "the originals are unknown.")),
                    packPath);
    return pack;
}

QByteArray Workspace::originalPackContent(const UsecodeFile& game,
                                          const QString& damagedMessage) const {
    // The originals come from usecode.orig when there is one (the game file
    // may hold translations by now), else from the game's usecode file.
    const QString pristine = pristineUsecodePath();
    UsecodeFile pristineFile;
    const UsecodeFile* source = &game;
    QString sourcePath = usecodePath();
    if (QFileInfo(pristine).isFile()) {
        pristineFile = parseUsecode(readWholeFile(pristine), pristine);
        source = &pristineFile;
        sourcePath = pristine;
    }
    if (!source->problems.isEmpty()) throw DataError(damagedMessage.arg(origPakPath(), sourcePath));
    QList<Lines> blocks;
    blocks.reserve(source->funcs.size());
    for (const tFunc& func : std::as_const(source->funcs))
        blocks.append(extractStrings(source->image, func));
    return Pack::buildContent(blocks);
}

QStringList Workspace::takeWarnings() {
    QStringList out;
    out.swap(m_warnings);
    return out;
}

QByteArray Workspace::functionListItem(int index) const {
    const tFunc& func = m_usecode.funcs.at(index);
    return func.HexNum + ": " + func.Description;
}

QList<QByteArray> Workspace::functionStrings(int index) const {
    return extractStrings(m_usecode.image, m_usecode.funcs.at(index));
}

Lines Workspace::openFunctionLines(int index) {
    const quint16 funcNum = m_usecode.funcs.at(index).FuncNum;
    QByteArray content;
    Lines lines = openFunctionLinesAt(index, TranslationFilePath(funcNum), &content);
    m_translationFileBytes.insert(funcNum, content);
    // Shown again after a colleague saved it: the figures follow the file.
    if (FindFuncIndex(funcNum) == index) noteFunctionLines(index, &lines);
    return lines;
}

Lines Workspace::openFunctionLinesAt(int index, const QString& path, QByteArray* content) {
    if (QFileInfo(path).isFile()) {
        QByteArray bytes = readWholeFile(path);
        Lines lines = translationFileLines(bytes, path, translationReading(index));
        if (content) *content = std::move(bytes);
        return lines;
    }
    Lines lines = extractStrings(m_usecode.image, m_usecode.funcs.at(index));
    const QByteArray bytes = joinLines(lines);
    writeFileAtomically(path, bytes);
    if (content) *content = bytes;
    return lines;
}

Lines Workspace::currentFunctionLines(int index) const {
    const QString path = TranslationFilePath(m_usecode.funcs.at(index).FuncNum);
    return QFileInfo(path).isFile() ? loadTranslationFile(path) : functionStrings(index);
}

bool Workspace::changedSinceRead(quint16 funcNum, const QString& path) const {
    const auto known = m_translationFileBytes.constFind(funcNum);
    return known != m_translationFileBytes.constEnd() && QFileInfo(path).isFile() &&
           readWholeFile(path) != known.value();
}

void Workspace::saveFunctionLines(quint16 funcNum, const Lines& lines) {
    const QString path = TranslationFilePath(funcNum);
    // A colleague sharing the editor directory may have saved this function
    // since it was shown: their work is not overwritten.
    if (changedSinceRead(funcNum, path))
        throw TranslationFileChanged(
            QStringLiteral("%1 was changed by another program since function %2 was shown (a "
                           "colleague may have saved it). Your line was not saved; the function "
                           "is shown again as the file holds it now.")
                .arg(path, QString::fromLatin1(hexNum(funcNum))));
    writeFunctionLines(funcNum, path, lines);
}

void Workspace::writeFunctionLines(quint16 funcNum, const QString& path, const Lines& lines) {
    const QByteArray bytes = joinLines(lines);
    writeFileAtomically(path, bytes);
    m_translationFileBytes.insert(funcNum, bytes);
    // The figures follow the one file just saved; nothing else is read.
    noteFunctionLines(FindFuncIndex(funcNum), &lines);
}

Workspace::KeywordPropagation Workspace::giveKeywordTranslation(int function, int line,
                                                                const QByteArray& translation) {
    KeywordPropagation result;
    const QList<KeywordIndex::Line> same = m_keywords.sameOriginal(function, line);
    for (qsizetype k = 0; k < same.size();) {
        // The group is in index order: one function's lines follow each other.
        const int g = same[k].function;
        QList<int> targets;
        for (; k < same.size() && same[k].function == g; ++k)
            targets.append(same[k].line);
        const quint16 funcNum = m_usecode.funcs[g].FuncNum;
        // The function itself is the caller's; a number two records share
        // has the file of the first one.
        if (g == function || FindFuncIndex(funcNum) != g) continue;
        const QString path = TranslationFilePath(funcNum);
        if (changedSinceRead(funcNum, path)) {
            result.notWritten << QStringLiteral("%1 was changed by another program since it was "
                                                "read (a colleague may have saved it); it was "
                                                "not changed.")
                                     .arg(path);
            continue;
        }
        Lines lines;
        const bool hadFile = QFileInfo(path).isFile();
        QByteArray read;
        try {
            if (hadFile) {
                read = readWholeFile(path);
                lines = translationFileLines(read, path);
            } else {
                lines = functionStrings(g);
            }
        } catch (const DataError& e) {
            result.notWritten << e.message();
            continue;
        }
        const Lines originals = originalLines(g);
        int changed = 0;
        for (int n : std::as_const(targets)) {
            if (n >= lines.size() || lines[n] == translation) continue;
            if (lines[n] != originals.value(n)) {
                result.differing.append({g, n, m_keywords.kindOf(g, n)});
                continue;
            }
            lines[n] = translation;
            ++changed;
        }
        if (changed == 0) continue;
        // Read and written in one go; a file that changed in between or
        // appeared meanwhile is still not overwritten.
        if (hadFile ? readWholeFile(path) != read : QFileInfo::exists(path)) {
            result.notWritten << QStringLiteral("%1 was changed by another program while the "
                                                "answer was given to it; it was not changed.")
                                     .arg(path);
            continue;
        }
        writeFunctionLines(funcNum, path, lines);
        result.lines += changed;
        result.functions.append(g);
    }
    return result;
}

QString Workspace::KeywordPropagation::statusText(const Workspace& ws) const {
    QStringList parts;
    if (lines > 0)
        parts << QStringLiteral("Conversation answer given to %1 %2 in %3 %4.")
                     .arg(lines)
                     .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
                     .arg(functions.size())
                     .arg(functions.size() == 1 ? QStringLiteral("function")
                                                : QStringLiteral("functions"));
    if (!differing.isEmpty()) {
        QStringList places;
        for (const KeywordIndex::Line& l : differing)
            places << QStringLiteral("%1 line %2")
                          .arg(QString::fromLatin1(ws.funcs()[l.function].HexNum))
                          .arg(l.line + 1);
        parts << QStringLiteral("Translated otherwise, not changed: %1.")
                     .arg(places.join(QStringLiteral(", ")));
    }
    return parts.join(QLatin1Char(' '));
}

int Workspace::createMissingTranslationFiles() {
    // One listing of the editor directory for all functions: looking each
    // missing file up on its own would list the directory once per function.
    QHash<QString, QString> existing = directoryIndex(m_editorDirectory);
    int created = 0;
    for (int i = 0; i < functionCount(); ++i) {
        const QString name = QString::fromLatin1(m_usecode.funcs[i].HexNum) + ".TXT";
        // A number carried by two records gets the file of the first one,
        // as showing it would; the second record must not overwrite it.
        if (existing.contains(name)) continue;
        openFunctionLinesAt(i, m_editorDirectory + name);
        existing.insert(name, name);
        ++created;
    }
    return created;
}

TranslationFileReading Workspace::translationReading(int index) const {
    TranslationFileReading reading;
    reading.encoding = m_settings.gameTextEncoding;
    reading.extracted = [this, index] {
        QList<Lines> lists;
        if (index < 0 || index >= functionCount()) return lists;
        lists << functionStrings(index);
        if (m_packLoaded) lists << originalLines(index);
        return lists;
    };
    return reading;
}

Lines Workspace::originalLines(int index) const {
    return m_pack.blockLines(index);
}

void Workspace::setFunctionDescription(int index, const QByteArray& description) {
    tFunc& func = m_usecode.funcs[index];
    const QString path = funclistPath();
    Lines lines;
    if (QFileInfo(path).isFile()) lines = loadTextLines(path);
    setDescription(lines, func.HexNum, description);
    func.Description = description;
    saveTextLines(path, lines);
}

int Workspace::FindFuncIndex(quint16 funcNum) const {
    for (int i = 0; i < m_usecode.funcs.size(); ++i) {
        if (m_usecode.funcs[i].FuncNum == funcNum) return i;
    }
    return -1;
}

Workspace::RebuildReport Workspace::Rebuild(bool complete, const Progress& progress,
                                            const Lines* textTabLines) {
    if (complete) {
        TranslationsChanged = true;
        CompleteRebuild = true;
    }
    struct ClearComplete {
        bool& flag;
        ~ClearComplete() { flag = false; }
    } clearComplete{CompleteRebuild};

    RebuildReport report;
    if (TranslationsChanged && m_usecodeLoaded) {
        QElapsedTimer timer;
        timer.start();
        const QString path = usecodePath();
        // Only the file that was loaded (or last written) may be replaced.
        m_usecodeStamp.verifyUnchanged(m_usecode.image);
        // Translation files go by their upper-case name, which is tried first;
        // the folder is listed (once) only when one is missing by that name,
        // to find it in another case.
        std::optional<QHash<QString, QString>> editorFiles;

        RebuildOptions options;
        options.fileName = path;
        // The fast rebuild chooses by content, not by date: a translation file
        // copied with its old date (unzip, cp -p, a colleague's clock) still
        // counts when it reads differently from what the game file holds.
        options.onlyChanged = !CompleteRebuild;
        options.translationFor = [&](quint16 funcNum, QList<QByteArray>& lines) {
            const QString name = QString::fromLatin1(hexNum(funcNum)) + ".TXT";
            QByteArray content;
            QString path = m_editorDirectory + name;
            if (!readFileIfPresent(path, content)) {
                if (!editorFiles) editorFiles = directoryIndex(m_editorDirectory);
                const auto it = editorFiles->constFind(name);
                if (it == editorFiles->constEnd()) return false;
                path = m_editorDirectory + it.value();
                if (!readFileIfPresent(path, content)) return false;
            }
            lines = translationFileLines(content, path, translationReading(FindFuncIndex(funcNum)));
            return true;
        };
        if (progress) options.progress = progress;
        options.encoding = m_settings.gameTextEncoding;
        // With the original engine's index files beside usecode, the file
        // must stay readable by that engine, and the index files follow it.
        const LinkDepFiles linkdep = findLinkDepFiles(m_usecodeDirectory);
        options.originalFormsOnly = linkdep.present();
        if (m_settings.gameTextEncoding == GameTextEncoding::Utf8 && linkdep.present())
            throw Error(utf8Refusal() + QStringLiteral(" Nothing was written; choose another "
                                                       "game-text encoding in Options."));

        RebuildOutput output = rebuildUsecode(m_usecode, options);
        if (linkdep.present()) {
            const LinkDepResult made = buildLinkDep(output.image, path);
            if (!made.ok())
                throw DataError(
                    QStringLiteral("The rebuilt usecode cannot run in the original engine, so "
                                   "nothing was written (usecode, LINKDEP1 and LINKDEP2 stay as "
                                   "they were):\r\n%1")
                        .arg(made.problems.join(QStringLiteral("\r\n"))));
            QList<PlannedWrite> writes{{path, output.image, m_usecode.image, true}};
            const auto plan = [&](const QString& found, const char* name, const QByteArray& bytes) {
                PlannedWrite w{found, bytes, {}, !found.isEmpty()};
                if (w.existed)
                    w.oldBytes = readWholeFile(found);
                else
                    w.path = m_usecodeDirectory + QLatin1String(name);
                writes.append(w);
            };
            plan(linkdep.linkdep1, "LINKDEP1", made.linkdep1);
            plan(linkdep.linkdep2, "LINKDEP2", made.linkdep2);
            writeFilesTogether(writes);
            output.warnings += made.warnings;
        } else {
            writeFileAtomically(path, output.image);
        }
        m_usecodeStamp.take(path);

        // The image and the table now describe the file just written.
        UsecodeFile rebuilt = parseUsecode(std::move(output.image), path);
        for (qsizetype i = 0; i < rebuilt.funcs.size() && i < m_usecode.funcs.size(); ++i) {
            if (rebuilt.funcs[i].FuncNum == m_usecode.funcs[i].FuncNum)
                rebuilt.funcs[i].Description = m_usecode.funcs[i].Description;
        }
        m_usecode = std::move(rebuilt);
        report.usecodeWritten = true;
        report.warnings = output.warnings;
        report.notApplied = output.notApplied;
        report.milliseconds = timer.elapsed();
        // Every translation went in but those not applied: they still differ
        // from the file just written, and the next fast rebuild names them again.
        if (m_progress.size() == functionCount()) {
            for (int i = 0; i < functionCount(); ++i)
                setDiffers(i, false);
            for (quint16 number : std::as_const(report.notApplied))
                if (const int index = FindFuncIndex(number); index >= 0) setDiffers(index, true);
        }
        TranslationsChanged = m_differCount > 0;
    }
    if (TextChanged || CompleteRebuild) {
        try {
            report.warnings += WriteBackGameText(textTabLines ? *textTabLines : m_textLines);
            report.textWritten = m_gameText.hasGameFile();
        } catch (const Error& e) {
            // The usecode may be written already, and its report must still
            // reach the user; the text stays to be written by the next rebuild.
            report.warnings << QStringLiteral("The game text was not written: %1").arg(e.message());
            TextChanged = true;
        }
    }
    return report;
}

void Workspace::reloadUsecode() {
    loadUsecode();
    // The table may have changed: counted again when asked.
    m_progress.clear();
    m_differs.clear();
    m_differCount = 0;
}

QStringList Workspace::WriteBackGameText(const Lines& lines) {
    // Edits of the text tab not saved yet go to text.txt first, so that
    // text.txt holds what the game file is written from.
    if (lines != m_textLines) saveTextTab(lines);
    QStringList warnings = m_gameText.writeBack(lines, m_settings.gameTextEncoding);
    TextChanged = false;
    return warnings;
}

SearchResult Workspace::searchUsecode(const QByteArray& text, bool original) const {
    QList<quint16> numbers;
    numbers.reserve(m_usecode.funcs.size());
    for (const tFunc& func : m_usecode.funcs)
        numbers.append(func.FuncNum);
    if (original) {
        if (!m_packLoaded)
            throw Error(
                QStringLiteral("The original strings are not loaded (%1).").arg(origPakPath()));
        return m_search.inPack(text, m_pack, numbers);
    }
    // A function never shown has no translation file yet: its lines are its
    // strings, as showing it would write them.
    return m_search.inTranslationFiles(text, numbers, m_editorDirectory, [this](int index) {
        return joinLines(functionStrings(index));
    });
}

QByteArray Workspace::hitRow(const SearchHit& hit) const {
    if (hit.funcIndex >= m_usecode.funcs.size()) return {};
    const tFunc& func = m_usecode.funcs[hit.funcIndex];
    return func.HexNum + ": " + func.Description + " (" + QByteArray::number(hit.lineIndex + 1) +
           ')';
}

void Workspace::saveLastPosition(qint32 funcIndex, qint32 lineIndex) {
    if (m_ini) writeLastPosition(*m_ini, funcIndex, lineIndex);
}

// ---- progress figures ----

qsizetype Workspace::countTranslatedLines(const Lines& lines, const Lines& originals,
                                          qsizetype strings) {
    qsizetype translated = 0;
    for (qsizetype k = 0; k < strings && k < lines.size(); ++k)
        if (lines[k] != originals.value(k)) ++translated;
    return translated;
}

void Workspace::countProgress() {
    const int n = functionCount();
    m_progress.fill(LineCount(), n);
    m_differs.fill(false, n);
    m_differCount = 0;
    m_projectProgress = {};
    QSet<quint16> seen;
    for (int i = 0; i < n; ++i) {
        LineCount& count = m_progress[i];
        const Lines strings = functionStrings(i);
        count.total = strings.size();
        m_projectProgress.total += count.total;
        // Of the records sharing a number, the first one has the file.
        const quint16 funcNum = m_usecode.funcs[i].FuncNum;
        const bool first = !seen.contains(funcNum);
        seen.insert(funcNum);
        const QString path = TranslationFilePath(funcNum);
        if (!QFileInfo(path).isFile()) continue;
        Lines lines;
        try {
            lines = loadFunctionTranslation(i, path);
        } catch (const Error&) {
            // Not usable as a translation (not single-byte text, unreadable):
            // none of its lines count, as for lexivo-cli status; the fast
            // rebuild names it.
            if (first) setDiffers(i, true);
            continue;
        }
        count.translated = countTranslatedLines(lines, originalLines(i), count.total);
        m_projectProgress.translated += count.translated;
        if (first) setDiffers(i, lines != strings);
    }
}

void Workspace::setDiffers(int index, bool differs) {
    if (m_differs[index] == differs) return;
    m_differs[index] = differs;
    m_differCount += differs ? 1 : -1;
}

void Workspace::noteFunctionLines(int index, const Lines* lines) {
    if (index < 0 || index >= m_progress.size()) return; // not counted yet
    LineCount& count = m_progress[index];
    m_projectProgress.translated -= count.translated;
    count.translated = 0;
    bool differs = false;
    if (lines) {
        count.translated = countTranslatedLines(*lines, originalLines(index), count.total);
        differs = *lines != functionStrings(index);
    }
    m_projectProgress.translated += count.translated;
    setDiffers(index, differs);
}

bool Workspace::recountFunction(int index) {
    if (index < 0 || index >= functionCount() || FindFuncIndex(funcs()[index].FuncNum) != index)
        return false;
    if (m_progress.size() != functionCount()) return false; // counted from the files when asked
    const LineCount before = m_progress[index];
    const bool differedBefore = m_differs[index];
    const QString path = TranslationFilePath(funcs()[index].FuncNum);
    if (!QFileInfo(path).isFile()) {
        noteFunctionLines(index, nullptr);
    } else {
        try {
            const Lines lines = loadFunctionTranslation(index, path);
            noteFunctionLines(index, &lines);
        } catch (const Error&) {
            noteFunctionLines(index, nullptr);
            setDiffers(index, true);
        }
    }
    return m_progress[index].translated != before.translated || m_differs[index] != differedBefore;
}

QList<int> Workspace::changedTranslationFiles(QStringList* paths) {
    QHash<quint16, QPair<qint64, qint64>> stamps;
    const QFileInfoList entries =
        QDir(m_editorDirectory).entryInfoList({QStringLiteral("????.txt")}, QDir::Files);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.size() != 8 ||
            name.compare(name.left(4) + QStringLiteral(".TXT"), Qt::CaseInsensitive) != 0)
            continue;
        bool ok = false;
        const uint number = name.left(4).toUInt(&ok, 16);
        if (!ok || number > 0xFFFF) continue;
        // Of names that differ only in case, the one the lookup takes is the
        // upper-case one; any of them changing is a change.
        auto& stamp = stamps[quint16(number)];
        stamp.first += entry.size();
        stamp.second ^= entry.lastModified().toMSecsSinceEpoch();
        if (paths) paths->append(entry.filePath());
    }
    QList<int> changed;
    if (m_fileStampsTaken) {
        QHash<quint16, int> firstIndex;
        for (int i = functionCount() - 1; i >= 0; --i)
            firstIndex.insert(m_usecode.funcs[i].FuncNum, i);
        const auto note = [&](quint16 number) {
            const auto it = firstIndex.constFind(number);
            if (it != firstIndex.constEnd()) changed.append(it.value());
        };
        for (auto it = stamps.cbegin(); it != stamps.cend(); ++it)
            if (m_fileStamps.value(it.key(), {-1, 0}) != it.value()) note(it.key());
        for (auto it = m_fileStamps.cbegin(); it != m_fileStamps.cend(); ++it)
            if (!stamps.contains(it.key())) note(it.key());
        std::sort(changed.begin(), changed.end());
    }
    m_fileStamps = std::move(stamps);
    m_fileStampsTaken = true;
    return changed;
}

bool Workspace::translationsDifferFromGame() {
    if (m_progress.size() != functionCount()) countProgress();
    return m_differCount > 0;
}

bool Workspace::textDiffersFromGame() const {
    return m_gameTextLoaded && m_gameText.readsDifferently(m_textLines);
}

void Workspace::judgeChangesOnDisk() {
    TranslationsChanged = m_usecodeLoaded && translationsDifferFromGame();
    TextChanged = textDiffersFromGame();
}

Workspace::LineCount Workspace::functionProgress(int index) {
    if (!m_packLoaded) return {}; // without the originals nothing is known
    if (m_progress.size() != functionCount()) countProgress();
    return m_progress.value(index);
}

Workspace::LineCount Workspace::projectProgress() {
    if (!m_packLoaded) return {};
    if (m_progress.size() != functionCount()) countProgress();
    return m_projectProgress;
}

} // namespace lexivo
