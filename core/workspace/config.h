#pragma once

#include "gamedata/fontmap.h"
#include "gamestring.h"
#include "inifile.h"

#include <QByteArray>
#include <QList>
#include <array>

namespace lexivo {

// Sections and keys of LEXIVO.INI.
namespace ini {
inline constexpr char FileName[] = "LEXIVO.INI";
inline constexpr char Directory[] = "DIRECTORY";
inline constexpr char Editor[] = "EDITOR";
inline constexpr char U7[] = "U7";
inline constexpr char RefUsecode[] = "REF_USECODE";
inline constexpr char RefPak[] = "REF_PAK";
inline constexpr char FontMapKey[] = "FONTMAP";
inline constexpr char Patch[] = "PATCH";
inline constexpr char User[] = "USER";
inline constexpr char Id[] = "ID";
inline constexpr char Name[] = "NAME";
inline constexpr char Color[] = "COLOR";
inline constexpr char Setting[] = "SETTING";
inline constexpr char LastFunc[] = "LASTFUNC";
inline constexpr char LastFuncLine[] = "LASTFUNCLINE";
inline constexpr char CodePage[] = "CODEPAGE";
inline constexpr char GameText[] = "GAMETEXT";
inline constexpr char Game[] = "GAME";
inline constexpr char GameFont[] = "GAMEFONT";
inline constexpr char Group[] = "GROUP";
inline constexpr char TranslatorsNames[] = "TRANSLATORSNAMES";
inline constexpr char Colors[] = "COLORS";
} // namespace ini

// The ten colour settings in the order of the COLORS section, 0x00BBGGRR each.
enum ColorIndex {
    NormalFore,
    NormalBack,
    HighlightFore,
    HighlightBack,
    CommentFore,
    CommentBack,
    DictionaryFore,
    DictionaryBack,
    OriginalFore,
    OriginalBack,
    ColorCount
};
using ColorSettings = std::array<quint32, ColorCount>;

inline constexpr std::array<const char*, ColorCount> ColorKeys = {
    "NORMALFORE",  "NORMALBACK",     "HIGHLIGHTFORE",  "HIGHLIGHTBACK", "COMMENTFORE",
    "COMMENTBACK", "DICTIONARYFORE", "DICTIONARYBACK", "ORIGINALFORE",  "ORIGINALBACK",
};
inline constexpr ColorSettings DefaultColors = {
    8960904, 2241314, 2241314, 3381606, 6737100, 2241314, 2241314, 6737100, 6583652, 1055760,
};

// Which game's intrinsic numbers the conversation keywords are found by
// (SETTING/GAME: BG, SI, or AUTO, the default: detected from the code).
enum class ConversationGame { Auto, BlackGate, SerpentIsle };

// Every value the start-up sequence reads, held for the run.
struct Settings {
    QByteArray editorDirectory; // as stored; the default is the program directory
    QByteArray gameDirectory;
    QByteArray refUsecode;
    QByteArray refPak;
    quint8 translatorId = 1;
    qint32 lastFunc = 0;     // raised to 0 when negative
    qint32 lastFuncLine = 0; // raised to 0 when negative
    QByteArray userName = "Noname";
    quint32 userColor = 0;
    QList<QByteArray> translatorNames;
    ColorSettings colors = DefaultColors;
    // The display code page (SETTING/CODEPAGE): 1252, 1250, 1251 or 1257;
    // any other value reads as 1252. Files on disk never change with it.
    int codePage = 1252;
    // How accented letters are written into the game files (SETTING/GAMETEXT):
    // WINDOWS (the default, and any value but ORIGINAL and UTF8), ORIGINAL
    // or UTF8.
    GameTextEncoding gameTextEncoding = GameTextEncoding::Windows;
    // SETTING/GAME; any value but BG and SI (letter case ignored) reads as AUTO.
    ConversationGame conversationGame = ConversationGame::Auto;
    // DIRECTORY/FONTMAP: a font_map.txt of the team (as stored; empty: the
    // patch folder's font_map.txt when there is one).
    QByteArray fontMapFile;
    // DIRECTORY/PATCH: the engine's patch folder (as stored; empty: none).
    QByteArray patchDirectory;
    // SETTING/GAMEFONT: which section of the font map the engine draws with,
    // BUILTIN (the default, and any value but ORIGINAL) or ORIGINAL.
    FontMap::Section gameFont = FontMap::Section::Builtin;
};

// Reads every key in the start-up order: DIRECTORY/EDITOR, U7, REF_USECODE,
// REF_PAK, USER/ID, SETTING/LASTFUNC, LASTFUNCLINE, USER/NAME, COLOR,
// GROUP/TRANSLATORSNAMES, the ten colours, then SETTING/CODEPAGE and GAMETEXT,
// SETTING/GAME, DIRECTORY/FONTMAP and PATCH, SETTING/GAMEFONT.
Settings readSettings(const IniFile& ini, const QByteArray& programDirectory);

// Reads the ten COLORS keys of a file (LEXIVO.INI or a colour scheme file),
// each falling back to the given value.
ColorSettings readColors(const IniFile& ini, const ColorSettings& fallback);

// "A|B|" -> {A, B}; every "|" is a line break, a break at the very end adds
// no empty name, an empty value gives no names.
QList<QByteArray> splitTranslatorNames(const QByteArray& value);
QByteArray joinTranslatorNames(const QList<QByteArray>& names);

// The options dialog's confirmed write, in its fixed order: USER/ID, NAME,
// COLOR, DIRECTORY/U7, GROUP/TRANSLATORSNAMES, the ten colours. An empty name
// or game directory is not written.
void writeOptions(IniFile& ini, quint8 translatorId, const QByteArray& userName, quint32 userColor,
                  const QByteArray& gameDirectory, const QList<QByteArray>& translatorNames,
                  const ColorSettings& colors);

// The display code page, written to SETTING/CODEPAGE.
void writeCodePage(IniFile& ini, int codePage);

// The game-text encoding, written to SETTING/GAMETEXT as WINDOWS, ORIGINAL or UTF8.
void writeGameTextEncoding(IniFile& ini, GameTextEncoding encoding);

// SETTING/GAMEFONT, written as BUILTIN or ORIGINAL.
void writeGameFont(IniFile& ini, FontMap::Section section);

// The close handling's write: SETTING/LASTFUNC, then LASTFUNCLINE.
void writeLastPosition(IniFile& ini, qint32 lastFunc, qint32 lastFuncLine);

} // namespace lexivo
