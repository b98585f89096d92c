#pragma once

#include "usecodefile.h"
#include "workspace/config.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

namespace lexivo {

// The conversation keywords of a usecode file, found in its decoded code.
//
// The engine matches the answer a player picks against the strings a
// conversation case compares, byte for byte: a case (0x07, 32-bit 0x87,
// a 2-byte count n before its jump) pops the n strings pushed just before it
// by 0x1D / 0x9D. Those lines are compared keywords. Answers are offered and
// taken back by the intrinsics add_answer and remove_answer (0x05 and 0x06 in
// Black Gate, 0x0C and 0x0D in Serpent Isle), called by 0x38 / 0x39 with a
// string pushed straight before the call or an array (0x1E, 2-byte count)
// made of pushed strings: those lines are offered keywords. Offers that pass
// through variables are not found; the compares are.
//
// Which numbering a file uses is detected from the calls to either pair that
// take string arguments (the more frequent pair wins, Black Gate on a tie),
// unless SETTING/GAME names the game.
class KeywordIndex {
public:
    enum Kind : quint8 { None = 0, Compared = 1, Offered = 2, Both = Compared | Offered };
    static QString kindName(Kind kind); // "compared", "offered", "both"

    struct Line {
        int function = 0; // index in the function table
        int line = 0;     // string index, from 0
        Kind kind = None;
    };

    // Decodes the code of every function of the table and collects its
    // keyword lines. Code that does not decode gives no keywords.
    void build(const UsecodeFile& file, ConversationGame setting);
    void clear();

    // The numbering used: BlackGate or SerpentIsle (never Auto).
    ConversationGame numbering() const { return m_numbering; }
    // True when the numbering was detected from the code (SETTING/GAME AUTO).
    bool detected() const { return m_detected; }
    // Calls to add_answer / remove_answer with string arguments, per numbering.
    int stringCalls(ConversationGame game) const;
    // "BG" or "SI".
    static QString numberingName(ConversationGame game);
    // Which numbering was used and why, for lexivo-cli check.
    QString numberingNote() const;

    // Every keyword line, by function index, then line.
    const QList<Line>& lines() const { return m_lines; }
    // The keyword lines of one function, by line.
    QList<Line> linesOf(int function) const;
    Kind kindOf(int function, int line) const;

    // Groups the keyword lines by their original text (original(function,
    // line) gives it in text form). Needed before sameOriginal / original.
    void setOriginals(const std::function<QByteArray(int function, int line)>& original);
    bool hasOriginals() const { return m_hasOriginals; }
    // Every keyword line whose original equals that of (function, line),
    // itself included, in index order; empty when it is no keyword line.
    QList<Line> sameOriginal(int function, int line) const;
    // The groups of keyword lines sharing one original, each in index order.
    struct Group {
        QByteArray original;
        QList<qsizetype> members; // positions in lines()
    };
    const QList<Group>& groups() const { return m_groups; }

private:
    qsizetype find(int function, int line) const; // position in m_lines, or -1

    QList<Line> m_lines;
    QList<qsizetype> m_firstOf; // per function index: first position in m_lines; one past the end
    ConversationGame m_numbering = ConversationGame::BlackGate;
    bool m_detected = false;
    int m_blackGateCalls = 0;
    int m_serpentIsleCalls = 0;
    bool m_hasOriginals = false;
    QList<Group> m_groups;
    QList<int> m_groupOf; // per position in m_lines
};

} // namespace lexivo
