#pragma once

#include "gamedata/fontmap.h"
#include "usecode/keywordindex.h"
#include "usecode/usecodefile.h"
#include "workspace/comments.h"
#include "workspace/config.h"
#include "workspace/dictionary.h"
#include "workspace/errors.h"
#include "workspace/filestamp.h"
#include "workspace/funcstatus.h"
#include "workspace/gametext.h"
#include "workspace/glyphcheck.h"
#include "workspace/inifile.h"
#include "workspace/pack.h"
#include "workspace/qa.h"
#include "workspace/search.h"
#include "workspace/textlines.h"
#include "workspace/translationfile.h"
#include "workspace/translationmemory.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace lexivo {

// A translation file that changed on disk since its function was shown (a
// colleague sharing the editor directory saved it): it is not overwritten,
// and the function is to be shown again from the file.
class TranslationFileChanged : public Error {
public:
    using Error::Error;
};

// The state of one working session: paths, configuration values, usecode
// image and tables, packs, change flags. It offers the start-up steps and
// every operation that is neither drawing nor asking the user. The main window
// owns one; so does lexivo-cli. Failures are thrown (Error and subclasses).
class Workspace {
public:
    static constexpr char VersionText[] = "v0.98";

    explicit Workspace(QString programDirectory);
    ~Workspace();

    // ---- paths (each directory string ends with "/") ----
    const QString& programDirectory() const { return m_programDirectory; }
    const QString& editorDirectory() const { return m_editorDirectory; }
    const QString& gameDirectory() const { return m_gameDirectory; }
    const QString& usecodeDirectory() const { return m_usecodeDirectory; }
    QString iniPath() const;
    QString usecodePath() const;  // the existing usecode entry of the usecode directory
    QString origPakPath() const;  // editor directory + "orig.pak" (existing entry's case)
    QString funclistPath() const; // editor directory + "funclist.txt"
    // The pristine copy of the game's usecode file in the editor directory,
    // made on the first start there and never overwritten ("usecode.orig").
    QString pristineUsecodePath() const;
    QString notesPath() const;        // the existing notes.rtf, or empty when there is none
    QString notesMissingLine() const; // editor directory + "notes.rtf - not found!"
    // Editor directory + HexNum + ".TXT"; an existing file of another case wins.
    QString TranslationFilePath(quint16 funcNum) const;

    IniFile& ini() { return *m_ini; }
    bool firstRun() const { return m_firstRun; }
    const Settings& settings() const { return m_settings; }
    Settings& settings() { return m_settings; }

    // ---- start-up steps, in the order the start-up sequence runs them ----
    // Notes whether LEXIVO.INI exists (FirstRun) and opens it.
    void openConfiguration();
    // Reads every key into settings(); sets the editor and game directories.
    // A directory value without a final separator gets one; a relative one is
    // taken from the program directory. A directory value that cannot name a
    // folder (control bytes, longer than any path) is refused with an Error
    // naming the key.
    void readConfiguration();
    // DIRECTORY/REF_USECODE and REF_PAK are both set: the reference for the
    // translation memory is to be loaded.
    bool hasReference() const;
    // The reference step: loads REF_USECODE and REF_PAK (relative paths are
    // taken from the program directory) into the translation memory. The
    // reference usecode is read with the usecode loader; its damage, and a
    // pack that does not fit it, are warnings (takeWarnings).
    void loadReference();
    bool referenceLoaded() const { return m_memory.isLoaded(); }
    TranslationMemory& translationMemory() { return m_memory; }
    const TranslationMemory& translationMemory() const { return m_memory; }
    bool hasGameDirectory() const { return !m_gameDirectory.isEmpty(); }
    // The folder the user chose: becomes the game directory and is written at
    // once to DIRECTORY/U7.
    void chooseGameDirectory(const QString& directory);
    // The game directory confirmed in the options dialog (already written to
    // the configuration): the usecode directory becomes that directory when
    // usecode lies directly in it, else its static/ subdirectory. The usecode
    // file already loaded stays; the next rebuild writes to the new place.
    void useGameDirectory(const QString& directory);
    // Finds usecode in the game directory, else in its static/ subdirectory
    // (names matched without regard to case). False when there is none.
    bool locateUsecode();

    // The loading steps that follow, in order. Each throws on failure; the
    // caller stops the sequence there. loadWorkspaceFiles() runs them all.
    void loadUsecode();
    // The game-text step: sets UseMessageFile, creates text.txt (and text.eng)
    // on the first start, loads both.
    void loadGameText();
    // The status-file step: FuncStatus.dat of the editor directory, one byte
    // per function (see FuncStatus). Reads only.
    void loadFuncStatus();
    // On the first start in the editor directory (no orig.pak yet), keeps
    // pristine copies of the game's usecode and of text.flx / textmsg.txt
    // (usecode.orig, text.flx.orig / textmsg.txt.orig), each only when it
    // does not exist. Then builds orig.pak when it is missing, from
    // usecode.orig when there is one, and loads it.
    void prepareOriginalPack();
    // The comments step: the own comment file, then every colleague's (see
    // Comments::LoadCommentSets). Damaged files are a warning (takeWarnings).
    void loadCommentSets();
    void loadDictionary(); // u7.dic of the editor directory, when there is one
    void loadWorkspaceFiles();
    // The steps up to the usecode directory without a window: configuration,
    // reference, game and usecode directories. Throws when no game directory
    // is configured or no usecode file is found there. Writes nothing.
    void findGameWithoutWindow();
    // Every step above that needs no window, in order: findGameWithoutWindow,
    // then the workspace files.
    void startWithoutWindow();
    // The loading of the read-only commands, writing nothing: the steps up to
    // the usecode directory without the reference, the usecode image and
    // table with their descriptions (funclist.txt, else the symbol table's
    // names; funclist.txt is not made) and, with originals, the originals
    // (originalPackWithoutWriting).
    void startReadOnly(bool originals);
    // orig.pak as the function view reads it, without writing anything: the
    // file when it exists, else the pack the first start would build, made
    // in memory from usecode.orig when there is one, else from game. Throws
    // DataError when that source is damaged (the originals are unknown).
    Pack originalPackWithoutWriting(const UsecodeFile& game) const;
    // The uncompressed pack of the originals, as the first start builds it.
    // damagedMessage (%1 orig.pak, %2 the source) is thrown as a DataError
    // when the source is damaged.
    QByteArray originalPackContent(const UsecodeFile& game, const QString& damagedMessage) const;

    bool usecodeLoaded() const { return m_usecodeLoaded; }
    bool packLoaded() const { return m_packLoaded; }

    // Problems found on the way that did not stop loading (damaged records,
    // a pack that does not belong to this usecode). The caller shows them.
    QStringList takeWarnings();

    // ---- usecode ----
    const UsecodeFile& usecode() const { return m_usecode; }
    const QList<tFunc>& funcs() const { return m_usecode.funcs; }
    int functionCount() const { return int(m_usecode.funcs.size()); }
    // "01A4: Blacksmith"
    QByteArray functionListItem(int index) const;
    QList<QByteArray> functionStrings(int index) const;
    // The lines of a function as the function view takes them: its translation
    // file when one exists, else its strings, saved as the new translation file.
    // Throws NotSingleByteText for a file that is not single-byte text.
    // Remembers the file's content for saveFunctionLines.
    Lines openFunctionLines(int index);
    // The lines of a function as they are now, without writing anything: its
    // translation file when one exists, else its strings.
    Lines currentFunctionLines(int index) const;
    // Saves the lines of a function as its translation file. Throws
    // TranslationFileChanged, and writes nothing, when the file no longer
    // holds what openFunctionLines loaded or this method last saved (another
    // program wrote it); a file that is gone is written again.
    void saveFunctionLines(quint16 funcNum, const Lines& lines);
    // Creates the translation file of every function that has none, as
    // showing it would; returns how many were created.
    int createMissingTranslationFiles();
    // How the translation file of function index is read: in the game-text
    // encoding, with its originals and strings as the lines it was extracted
    // from (see singleByteTextProblem).
    TranslationFileReading translationReading(int index) const;
    // The translation file at path of function index, read that way. Throws
    // FileError and NotSingleByteText.
    Lines loadFunctionTranslation(int index, const QString& path) const {
        return loadTranslationFile(path, translationReading(index));
    }
    // The function's originals from orig.pak (empty lines where the pack has none).
    Lines originalLines(int index) const;
    // Stores a description in the table and in funclist.txt.
    void setFunctionDescription(int index, const QByteArray& description);
    int FindFuncIndex(quint16 funcNum) const;

    // ---- conversation keywords ----
    // The keyword lines of every function, found in the code when usecode is
    // loaded (numbering by SETTING/GAME); grouped by their originals once
    // the originals are loaded.
    const KeywordIndex& keywords() const { return m_keywords; }
    // What giving a keyword's translation to the rest of the game did.
    struct KeywordPropagation {
        int lines = 0;                       // lines that took the translation
        QList<int> functions;                // indexes of the functions whose files were saved
        QList<KeywordIndex::Line> differing; // translated otherwise: not changed
        QStringList notWritten;              // files not written, each with the reason
        // "Conversation answer given to 4 lines in 3 functions." and
        // "Translated otherwise, not changed: 0402 line 3, 0409 line 8.";
        // empty when nothing was changed and nothing differs.
        QString statusText(const Workspace& ws) const;
    };
    // Gives translation to every keyword line of the other functions whose
    // original is that of line `line` of function `function` and whose text
    // still equals its original (the lines of the translation file, else the
    // strings). Each touched translation file is saved at once; a file
    // changed on disk since this workspace read it (a colleague saved it) is
    // not overwritten and named in notWritten, as is one that is not
    // single-byte text. Lines of the function itself are left to the caller.
    KeywordPropagation giveKeywordTranslation(int function, int line,
                                              const QByteArray& translation);

    // ---- rebuild ----
    bool TranslationsChanged = false;
    bool TextChanged = false;
    bool CompleteRebuild = false;

    struct RebuildReport {
        bool usecodeWritten = false;
        qint64 milliseconds = 0;
        QStringList warnings; // shown together in one message
        // Numbers of the functions whose translation did not go in.
        QList<quint16> notApplied;
        bool textWritten = false; // Text.flx or textmsg.txt was written
    };
    // Called once per function record: the function number and the read position.
    using Progress = std::function<void(quint32 funcNum, qint64 position, qint64 total)>;
    // Runs the rebuild as the Compile commands do. complete = the complete
    // rebuild (sets TranslationsChanged and CompleteRebuild first); the fast
    // rebuild compiles every function whose translation file reads
    // differently from the strings the usecode file holds now, whatever the
    // file's date. Nothing is written when it throws; the game file stays as
    // it was. Throws GameFileChanged when the usecode file on disk is no
    // longer the one loaded (or last written).
    // textTabLines: the text tab's lines for the text step (the window's
    // editor); without them the text step takes text.txt from disk.
    RebuildReport Rebuild(bool complete, const Progress& progress = {},
                          const Lines* textTabLines = nullptr);
    // Loads the usecode file again from disk (after GameFileChanged): image,
    // table and descriptions follow the file as it is now.
    void reloadUsecode();
    // The text step of the rebuild: writes Text.flx or textmsg.txt from the
    // text tab's lines and clears TextChanged. Returns the warnings of the
    // write (the two line-count warnings), shown together with the others.
    QStringList WriteBackGameText(const Lines& lines);

    // ---- game text (text.txt beside text.eng) ----
    bool UseMessageFile = false;     // textmsg.txt is the game's message source
    QString textPath() const;        // editor directory + "text.txt"
    QString englishTextPath() const; // editor directory + "text.eng"
    bool gameTextLoaded() const { return m_gameTextLoaded; }
    // text.txt and text.eng as loaded by the game-text step.
    const Lines& textLines() const { return m_textLines; }
    const Lines& englishLines() const { return m_englishLines; }
    // Saves the text tab's lines as text.txt.
    void saveTextTab(const Lines& lines);

    // ---- dictionary (u7.dic) ----
    Dictionary& dictionary() { return m_dictionary; }
    const Dictionary& dictionary() const { return m_dictionary; }
    QString dictionaryPath() const; // editor directory + "u7.dic"
    // Writes the whole dictionary to u7.dic.
    void SaveDictionary();
    // "Add term" and "Remove term": u7.dic is read again (a colleague may have
    // changed it), the one change is applied to what it holds now, and the
    // file is written; the dictionary in memory then equals the file. When
    // the file cannot be read or written the change is still made in memory,
    // and the error is thrown. Returns how many entries were removed.
    void addDictionaryEntry(const DictionaryEntry& entry);
    int removeDictionaryTerm(const QByteArray& term);

    // ---- comments (the translators' .cmt files) ----
    Comments& comments() { return m_comments; }
    const Comments& comments() const { return m_comments; }
    const QList<tComment>& CommentSets() const { return m_comments.CommentSets(); }
    bool commentsLoaded() const { return m_comments.loaded(); }
    // The user's own comment file: editor directory + translator ID + ".cmt".
    QString commentFilePath() const;
    // Adds a comment by the user to line `line` of function funcNum and writes
    // the own comment file. A failed write keeps the comment for the next one.
    void addComment(quint16 funcNum, quint16 line, const QByteArray& text,
                    const QDateTime& when = QDateTime::currentDateTime());
    // Writes the own comment file as it is (a cancelled "Comment" dialog).
    void writeOwnComments();
    QList<bool> MarkCommentedLines(quint16 funcNum, int lineCount) const {
        return m_comments.MarkCommentedLines(funcNum, lineCount);
    }
    QList<tVisLine> ShowLineComments(quint16 funcNum, int line) const {
        return m_comments.ShowLineComments(funcNum, line);
    }
    // The comments viewer's rows (Comments::viewerRows).
    QList<Comments::ViewerRow> commentViewerRows() const { return m_comments.viewerRows(); }

    // ---- function status and translators (FuncStatus.dat) ----
    QString funcStatusPath() const; // editor directory + "FuncStatus.dat"
    const FuncStatus& funcStatus() const { return m_funcStatus; }
    bool funcStatusLoaded() const { return m_funcStatus.loaded(); }
    // The translators list (GROUP/TRANSLATORSNAMES); the options dialog
    // replaces it.
    QList<QByteArray>& TranslatorNames() { return m_settings.translatorNames; }
    const QList<QByteArray>& TranslatorNames() const { return m_settings.translatorNames; }
    // The grid's cells of function index: status code 0-3, translator number,
    // and the name to show ("Not assigned", the roster's name, "Translator n").
    int functionStatus(int index) const { return m_funcStatus.statusOf(index); }
    int functionTranslator(int index) const { return m_funcStatus.translatorOf(index); }
    QByteArray functionTranslatorName(int index) const;
    // The name shown for translator number n.
    QByteArray translatorName(int number) const;
    // Sets the status code (the translator number) of the functions at
    // indexes and writes FuncStatus.dat, changing only those bytes of the
    // file as it is now. Returns every function index whose cells changed
    // (also those another program changed on disk). See FuncStatus.
    QList<int> setFunctionStatus(const QList<int>& indexes, int code);
    QList<int> setFunctionTranslator(const QList<int>& indexes, int translator);

    // ---- find ----
    // The usecode-tab search: every line containing text (A-Z folded, other
    // bytes exact), one hit per line at its first occurrence; through orig.pak
    // (original = true) or through the translation files, by file name (see
    // Search). Throws FileError for a translation file that cannot be read,
    // Error when the originals are to be searched and none are loaded.
    SearchResult searchUsecode(const QByteArray& text, bool original) const;
    // The Quick Search row of a hit: HexNum ": " Description " (" line + 1 ")";
    // empty for a function index beyond the table.
    QByteArray hitRow(const SearchHit& hit) const;

    // ---- progress figures ----
    struct LineCount {
        qsizetype translated = 0;
        qsizetype total = 0;
    };
    // Translated and total lines of function index and of the whole project,
    // counted as lexivo-cli status counts them. The first call reads every
    // translation file once; saveFunctionLines keeps the figures up to date.
    LineCount functionProgress(int index);
    LineCount projectProgress();
    // The lines of a function that count as translated: those of its first
    // `strings` lines that differ from their original.
    static qsizetype countTranslatedLines(const Lines& lines, const Lines& originals,
                                          qsizetype strings);
    // The translation file of function index was changed on disk (or is
    // gone): its figures and whether it differs from the game file are taken
    // from the file as it is now. True when either changed. Nothing is done
    // before the figures were first counted (they are then read anyway).
    bool recountFunction(int index);
    // The functions whose translation file was made, changed or removed on
    // disk since the last call, by index (the first of a shared number); the
    // first call notes the files as they are and returns nothing. A file is
    // taken as changed when its size or modification time is not the one
    // noted, whichever way the time moved. paths gets every translation file
    // there is now.
    QList<int> changedTranslationFiles(QStringList* paths = nullptr);

    // ---- what the fast rebuild has to write ----
    // Some translation file reads differently from its function's strings in
    // the usecode file, as the fast rebuild judges it (or cannot be read as a
    // translation, which the fast rebuild then names). Counted together with
    // the progress figures, each file read once; saving, showing and
    // recounting a function and the rebuild keep it up to date.
    bool translationsDifferFromGame();
    // text.txt, as loaded, reads differently from the game's message table
    // (the records of text.flx, the message lines of textmsg.txt).
    bool textDiffersFromGame() const;
    // Sets TranslationsChanged and TextChanged from the files as they are,
    // whoever changed them (an earlier session, import-po, a colleague).
    void judgeChangesOnDisk();

    // ---- quality checks (qualitychecks.cpp) ----
    struct Finding {
        int functionIndex = -1; // -1: a line of text.txt
        QByteArray hexNum;      // "text" for a line of text.txt
        QByteArray description; // the function's description
        CheckProblem problem;   // problem.line counts from 0
    };
    using QualityChecks = std::vector<std::unique_ptr<QualityCheck>>;
    // Every quality check, as Check translations, the question before a
    // complete rebuild and lexivo-cli qa run them.
    QualityChecks qualityChecks(const Cp1252Codec& codec) const;
    // The text.txt limit of the length check: SETTING/QALENGTH, in percent of
    // the original (default 150; values below 100 read as the default).
    int qaLengthPercent() const;
    // Runs every quality check on the translation file of every function
    // that has one against its originals, then on text.txt against text.eng:
    // textTabLines are the text tab's lines (the window's editor), else
    // text.txt is read. Reads only; files that cannot be checked (not
    // single-byte text) go to skipped. Findings stand in table order, text.txt
    // last, each place's by line.
    QList<Finding> checkTranslations(const Cp1252Codec& codec, const Lines* textTabLines = nullptr,
                                     QStringList* skipped = nullptr) const;
    // The same run with the given checks.
    QList<Finding> runChecks(QualityChecks& checks, const Lines* textTabLines = nullptr,
                             QStringList* skipped = nullptr) const;

    // ---- lexivo-cli check (gamecheck.cpp) ----
    struct GameCheck {
        QStringList problems; // damage, and what a rebuild would keep or break
        QStringList notices;  // said, but no failure
    };
    // Verifies the usecode file as loaded (startReadOnly): every function
    // record with the code verifier, every translation file's line count,
    // text.txt against the game's message table, and, with the original
    // engine's index files beside usecode, what that engine needs. Reads only.
    GameCheck checkGame() const;

    // ---- font map and patch folder ----
    // DIRECTORY/PATCH as a directory string; empty when none is configured.
    const QString& patchDirectory() const { return m_patchDirectory; }
    // The font_map.txt merged over the engine's table: DIRECTORY/FONTMAP when
    // set (a relative path is taken from the program directory), else the
    // patch folder's font_map.txt when there is one, else empty.
    QString fontMapFile() const;
    // Reads the font map from fontMapFile() over the engine's table. Throws
    // FileError or DataError; the map then stays the engine's table.
    void loadFontMap();
    // The font map as last loaded (the engine's table until then) and the
    // section SETTING/GAMEFONT chooses.
    const FontMap& fontMap() const { return m_fontMap; }
    FontMap::Section fontMapSection() const { return m_settings.gameFont; }
    // The options' write of DIRECTORY/PATCH, DIRECTORY/FONTMAP and
    // SETTING/GAMEFONT (each only when it changed); the font map is then read
    // again (throws as loadFontMap).
    void setFontSettings(const QByteArray& patchDirectory, const QByteArray& fontMapFile,
                         FontMap::Section gameFont);

    // The glyph check as configured: the font map, the section GAMEFONT
    // chooses; active with UTF-8 game text, and with code-page text when a
    // font map is configured. codec must outlive it.
    GlyphCheck glyphCheck(const Cp1252Codec& codec) const;

    // ---- game-text encoding ----
    // Why the game-text encoding UTF8 cannot be used for this game, or empty:
    // LINKDEP files beside usecode mean the DOS engine, which draws bytes.
    QString utf8Refusal() const;
    // Sets SETTING/GAMETEXT; throws Error (and changes nothing) for UTF8
    // when utf8Refusal() says why not.
    void setGameTextEncoding(GameTextEncoding encoding);

    // ---- close ----
    void saveLastPosition(qint32 funcIndex, qint32 lineIndex);

private:
    QString m_programDirectory;
    QString m_editorDirectory;
    QString m_gameDirectory;
    QString m_usecodeDirectory;
    QString m_patchDirectory;
    std::unique_ptr<IniFile> m_ini;
    bool m_firstRun = false;
    Settings m_settings;
    UsecodeFile m_usecode;
    Pack m_pack;
    bool m_usecodeLoaded = false;
    bool m_packLoaded = false;
    QStringList m_warnings;
    FileStamp m_usecodeStamp;
    TranslationMemory m_memory;
    Dictionary m_dictionary;
    bool m_gameTextLoaded = false;
    Lines m_textLines;
    Lines m_englishLines;
    GameText m_gameText;
    Comments m_comments;
    FuncStatus m_funcStatus;
    KeywordIndex m_keywords;
    FontMap m_fontMap = FontMap::engineDefault();
    // The bytes of each translation file as openFunctionLines loaded or
    // created it, or saveFunctionLines last wrote it, by function number.
    QHash<quint16, QByteArray> m_translationFileBytes;
    Search m_search;
    bool m_writeNothing = false; // set by startReadOnly
    // Per function index, once counted (empty until then).
    QList<LineCount> m_progress;
    LineCount m_projectProgress;
    // Per function index, counted with m_progress: the translation file reads
    // differently from the function's strings in the usecode file.
    QList<bool> m_differs;
    int m_differCount = 0;
    // Size and modification time (ms since the epoch) of each translation
    // file, by function number, as changedTranslationFiles last saw them.
    QHash<quint16, QPair<qint64, qint64>> m_fileStamps;
    bool m_fileStampsTaken = false;

    Lines openFunctionLinesAt(int index, const QString& path, QByteArray* content = nullptr);
    void keepPristineCopies();
    void changeDictionary(const std::function<void(Dictionary&)>& change);
    void locateGameWithoutWindow();
    void countProgress();
    void groupKeywords();
    bool changedSinceRead(quint16 funcNum, const QString& path) const;
    void writeFunctionLines(quint16 funcNum, const QString& path, const Lines& lines);
    void setDiffers(int index, bool differs);
    // The figures of function index from its lines (nullptr: no usable file).
    void noteFunctionLines(int index, const Lines* lines);
    void checkOriginalEngine(GameCheck& result) const;
};

} // namespace lexivo
