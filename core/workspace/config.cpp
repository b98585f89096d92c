#include "config.h"

#include "cp1252codec.h"

namespace lexivo {

ColorSettings readColors(const IniFile& ini, const ColorSettings& fallback) {
    ColorSettings colors = fallback;
    for (int i = 0; i < ColorCount; ++i)
        colors[i] = quint32(ini.readInteger(ini::Colors, ColorKeys[i], qint32(fallback[i])));
    return colors;
}

Settings readSettings(const IniFile& ini, const QByteArray& programDirectory) {
    Settings s;
    s.editorDirectory = ini.readString(ini::Directory, ini::Editor, programDirectory);
    s.gameDirectory = ini.readString(ini::Directory, ini::U7);
    s.refUsecode = ini.readString(ini::Directory, ini::RefUsecode);
    s.refPak = ini.readString(ini::Directory, ini::RefPak);
    // Only the low 8 bits name the translator: 257 is translator 1.
    s.translatorId = quint8(ini.readInteger(ini::User, ini::Id, 1) & 0xFF);
    s.lastFunc = qMax(0, ini.readInteger(ini::Setting, ini::LastFunc, 0));
    s.lastFuncLine = qMax(0, ini.readInteger(ini::Setting, ini::LastFuncLine, 0));
    s.userName = ini.readString(ini::User, ini::Name, "Noname");
    s.userColor = quint32(ini.readInteger(ini::User, ini::Color, 0));
    s.translatorNames = splitTranslatorNames(ini.readString(ini::Group, ini::TranslatorsNames));
    s.colors = readColors(ini, DefaultColors);
    const qint32 codePage = ini.readInteger(ini::Setting, ini::CodePage, s.codePage);
    if (Cp1252Codec::isSupported(codePage)) s.codePage = codePage;
    const QByteArray gameText = ini.readString(ini::Setting, ini::GameText);
    if (gameText.compare("ORIGINAL", Qt::CaseInsensitive) == 0)
        s.gameTextEncoding = GameTextEncoding::Original;
    else if (gameText.compare("UTF8", Qt::CaseInsensitive) == 0)
        s.gameTextEncoding = GameTextEncoding::Utf8;
    const QByteArray game = ini.readString(ini::Setting, ini::Game).toUpper();
    if (game == "BG")
        s.conversationGame = ConversationGame::BlackGate;
    else if (game == "SI")
        s.conversationGame = ConversationGame::SerpentIsle;
    s.fontMapFile = ini.readString(ini::Directory, ini::FontMapKey);
    s.patchDirectory = ini.readString(ini::Directory, ini::Patch);
    s.gameFont =
        fontMapSectionFromName(QString::fromLatin1(ini.readString(ini::Setting, ini::GameFont)))
            .value_or(FontMap::Section::Builtin);
    return s;
}

QList<QByteArray> splitTranslatorNames(const QByteArray& value) {
    QList<QByteArray> names = value.split('|');
    if (!names.isEmpty() && names.last().isEmpty()) names.removeLast();
    return names;
}

QByteArray joinTranslatorNames(const QList<QByteArray>& names) {
    QByteArray out;
    for (const QByteArray& name : names)
        out += name + '|';
    return out;
}

void writeOptions(IniFile& ini, quint8 translatorId, const QByteArray& userName, quint32 userColor,
                  const QByteArray& gameDirectory, const QList<QByteArray>& translatorNames,
                  const ColorSettings& colors) {
    ini.writeInteger(ini::User, ini::Id, translatorId);
    if (!userName.isEmpty()) ini.writeString(ini::User, ini::Name, userName);
    ini.writeInteger(ini::User, ini::Color, qint32(userColor));
    if (!gameDirectory.isEmpty()) ini.writeString(ini::Directory, ini::U7, gameDirectory);
    ini.writeString(ini::Group, ini::TranslatorsNames, joinTranslatorNames(translatorNames));
    for (int i = 0; i < ColorCount; ++i)
        ini.writeInteger(ini::Colors, ColorKeys[i], qint32(colors[i]));
}

void writeCodePage(IniFile& ini, int codePage) {
    ini.writeInteger(ini::Setting, ini::CodePage, codePage);
}

void writeGameTextEncoding(IniFile& ini, GameTextEncoding encoding) {
    ini.writeString(ini::Setting, ini::GameText,
                    encoding == GameTextEncoding::Original ? "ORIGINAL"
                    : encoding == GameTextEncoding::Utf8   ? "UTF8"
                                                           : "WINDOWS");
}

void writeGameFont(IniFile& ini, FontMap::Section section) {
    ini.writeString(ini::Setting, ini::GameFont,
                    section == FontMap::Section::Original ? "ORIGINAL" : "BUILTIN");
}

void writeLastPosition(IniFile& ini, qint32 lastFunc, qint32 lastFuncLine) {
    ini.writeInteger(ini::Setting, ini::LastFunc, lastFunc);
    ini.writeInteger(ini::Setting, ini::LastFuncLine, lastFuncLine);
}

} // namespace lexivo
