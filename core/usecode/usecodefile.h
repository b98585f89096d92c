#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace lexivo {

// One function of the function table: a usecode record whose data segment is
// not empty, in file order.
struct tFunc {
    quint16 FuncNum = 0;
    qint32 Size = 0;   // the record's size field: bytes after the size field
    qint32 Offset = 0; // position of the record's first byte in the usecode image
    QByteArray Description;
    QByteArray HexNum; // FuncNum as four upper-case hexadecimal digits
    bool Extended = false;
};

struct tUsecodeSymbol {
    QByteArray Name;
    quint16 Kind = 0;
    quint32 Value = 0;
    quint32 Extra = 0; // kind 6 only
};

struct tUsecodeSymbolTable {
    QList<tUsecodeSymbol> Symbols;
    quint32 Count = 0;
    quint32 Reserved = 0;
    qint32 FuncStart = 0; // position of the first function record
};

// A usecode file as loaded: the image, the symbol table and the function table.
struct UsecodeFile {
    QByteArray image;
    bool hasSymbolTable = false;
    tUsecodeSymbolTable symbols;
    QList<tFunc> funcs;
    // funclist.txt lines collected from the symbol table (HexNum "=" name).
    QList<QByteArray> symbolDescriptionLines;
    // Damage found while loading: each names the file and the byte offset.
    // What was sound before the damage is loaded. A file without a single
    // function record counts as damaged too.
    QStringList problems;
    // Findings that are not damage (two records sharing a function number):
    // the file loads and rebuilds, the user is told.
    QStringList notices;
};

// Little-endian numbers appended to a file being built.
inline void appendU16(QByteArray& out, quint32 value) {
    const char bytes[2] = {char(value & 0xFF), char((value >> 8) & 0xFF)};
    out.append(bytes, 2);
}
inline void appendU32(QByteArray& out, quint32 value) {
    const char bytes[4] = {char(value & 0xFF), char((value >> 8) & 0xFF),
                           char((value >> 16) & 0xFF), char((value >> 24) & 0xFF)};
    out.append(bytes, 4);
}

// "01A4": the function number as exactly four upper-case hexadecimal digits.
QByteArray hexNum(quint16 funcNum);

// Parses a usecode image. fileName only names the file in problem messages.
// Never throws on damaged data: records that run past the end, a truncated
// header or symbol table, size fields smaller than their own fields stop the
// walk with a problem message.
UsecodeFile parseUsecode(QByteArray image, const QString& fileName);

// Position and size of a function's data segment in the image.
struct DataSegment {
    qint64 start = 0;
    qint64 size = 0;
};
DataSegment dataSegmentOf(const QByteArray& image, const tFunc& func);
// The whole record of a table entry (header, data and code), cut at the end of
// the image.
QByteArray recordBytes(const QByteArray& image, const tFunc& func);

// The strings of a function, in storage order (the extraction rule): game
// strings read from the data segment while the position is below its end.
QList<QByteArray> extractStrings(const QByteArray& image, const tFunc& func);

// funclist.txt: the description of hexNum (first line whose name part matches
// without regard to case; everything after the first "=").
QByteArray lookupDescription(const QList<QByteArray>& funclistLines, const QByteArray& hexNum);
// Replaces the first matching line or appends one.
void setDescription(QList<QByteArray>& funclistLines, const QByteArray& hexNum,
                    const QByteArray& description);

// --- Record level access, shared by the loader, the rebuild and the verifier ---

enum class RecordForm {
    Standard, // u16 number, u16 size, u16 data size
    Extended, // 0xFFFF, u16 number, u32 size, u32 data size
    Fffe,     // 0xFFFE, u32 id, u32 size, u32 data size (ids above 0xFFFF)
};

// One record of the image as its header describes it, checked against the
// bytes present: end never lies beyond the image, the data segment never
// beyond the record.
struct UsecodeRecord {
    RecordForm form = RecordForm::Standard;
    qint64 offset = 0;    // first byte of the record
    quint32 funcNum = 0;  // u16 for the standard and extended forms
    qint64 size = 0;      // the size field: bytes after it
    qint64 dataStart = 0; // first byte of the data segment
    qint64 dataSize = 0;
    qint64 end = 0; // first byte after the record
    qint64 codeStart() const { return dataStart + dataSize; }
    qint64 headerSize() const { return dataStart - offset; }
};

// Reads the record header at pos. On damage returns false and sets problem to
// a sentence naming the byte offset (without the file name), and funcNum to
// whatever number could still be read (0 if none).
bool readRecord(const QByteArray& image, qint64 pos, UsecodeRecord& record, QString* problem);

enum class SymbolTableState { Absent, Sound, Damaged };
// Reads the symbol-table header at the start of the image. Sound: table filled,
// FuncStart set. Damaged: the symbols read soundly are kept, problem names the
// byte offset; the function records cannot be located.
SymbolTableState readSymbolTable(const QByteArray& image, tUsecodeSymbolTable& table,
                                 QList<QByteArray>* descriptionLines, QString* problem);

// Start offsets of the strings of a data segment, from its bytes as they are:
// 0, then every position after a NUL byte that is still inside the segment.
QList<qint64> stringStarts(const char* data, qint64 size);

} // namespace lexivo
