// Comments: OLE dates, the comment file layout and its damage, the start-up
// step over an editor directory, the comment box and viewer orders, and the
// own file's writes.

#include "testgame.h"
#include "workspace/comments.h"
#include "workspace/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <limits>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

// The comment file layout written out by hand, independent of the writer.
struct FileBuilder {
    QByteArray bytes;
    FileBuilder& str(const QByteArray& s) {
        bytes += s + '\0';
        return *this;
    }
    FileBuilder& i32(qint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        bytes.append(b, 4);
        return *this;
    }
    FileBuilder& u16(quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        bytes.append(b, 2);
        return *this;
    }
    FileBuilder& f64(double d) {
        quint64 bits;
        std::memcpy(&bits, &d, 8);
        char b[8];
        qToLittleEndian(bits, b);
        bytes.append(b, 8);
        return *this;
    }
    FileBuilder& entry(double date, const QByteArray& text, quint16 func, quint16 line) {
        return f64(date).str(text).u16(func).u16(line);
    }
};

QByteArray commentFile(const QByteArray& name, qint32 color,
                       const QList<std::tuple<double, QByteArray, quint16, quint16>>& entries) {
    FileBuilder f;
    f.str(name).i32(color).i32(qint32(entries.size()));
    for (const auto& [date, text, func, line] : entries)
        f.entry(date, text, func, line);
    return f.bytes;
}

tComment set(const QByteArray& name, qint32 color, const QList<tCmtLine>& lines) {
    return {name, color, qint32(lines.size()), lines};
}

} // namespace

class TestComments : public QObject {
    Q_OBJECT

private slots:
    void oleDates_data();
    void oleDates();
    void oleDatesOutOfRange();
    void fileLayoutRoundTrip();
    void damagedFiles_data();
    void damagedFiles();
    void firstStartWithoutFiles();
    void loadsOwnFileThenColleagues();
    void keepsMoreThan255Sets();
    void commentBoxAndViewerOrders();
    void marksOnlyLinesThatExist();
    void addAndCancelWriteTheOwnFile();
    void failedWriteKeepsTheComment();
    void damagedOwnFileIsKept();
    void ownFileWrittenByAnotherProgram();
    void colleagueFileIsNotOverwritten();
};

void TestComments::oleDates_data() {
    QTest::addColumn<QDateTime>("local");
    QTest::addColumn<double>("ole");
    const auto at = [](int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
    };
    QTest::newRow("epoch") << at(1899, 12, 30, 0, 0) << 0.0;
    QTest::newRow("1900-01-01 06:00") << at(1900, 1, 1, 6, 0) << 2.25;
    QTest::newRow("before the epoch, time runs forward") << at(1899, 12, 29, 6, 0) << -1.25;
    QTest::newRow("noon of the epoch") << at(1899, 12, 30, 12, 0) << 0.5;
    QTest::newRow("leap day with milliseconds")
        << at(2024, 2, 29, 13, 45, 30, 123) << 45351 + (49530123.0 / 86400000.0);
    QTest::newRow("last millisecond of a day")
        << at(2000, 1, 1, 23, 59, 59, 999) << 36526 + (86399999.0 / 86400000.0);
}

void TestComments::oleDates() {
    QFETCH(QDateTime, local);
    QFETCH(double, ole);
    QCOMPARE(oleDateFromDateTime(local), ole);
    QCOMPARE(dateTimeFromOleDate(ole), local);
}

void TestComments::oleDatesOutOfRange() {
    for (double d : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), 1e300, -1e300, 3e6})
        QVERIFY2(!dateTimeFromOleDate(d).isValid(), qPrintable(QString::number(d)));
}

void TestComments::fileLayoutRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/3.cmt";
    // The text form travels through the game-string codec: "\N" is CR LF in
    // the file, an accented letter stays its byte.
    const tComment written =
        set("J\xFCrgen", 0x00FF8040, {{45351.5, "Check\\Nthis", 0x0401, 12}, {1.0, "", 0xFFFF, 0}});
    WriteCommentFile(path, written);
    const QByteArray expected = commentFile(
        "J\xFCrgen", 0x00FF8040, {{45351.5, "Check\r\nthis", 0x0401, 12}, {1.0, "", 0xFFFF, 0}});
    QCOMPARE(readFile(path), expected);

    const tComment read = ReadCommentFile(path);
    QCOMPARE(read.Name, written.Name);
    QCOMPARE(read.Color, written.Color);
    QCOMPARE(read.Count, 2);
    QCOMPARE(read.Lines.size(), 2);
    for (int k = 0; k < 2; ++k) {
        QCOMPARE(read.Lines[k].Date, written.Lines[k].Date);
        QCOMPARE(read.Lines[k].Text, written.Lines[k].Text);
        QCOMPARE(read.Lines[k].FuncNum, written.Lines[k].FuncNum);
        QCOMPARE(read.Lines[k].Line, written.Lines[k].Line);
    }
    // An empty set: empty name is the single NUL.
    QCOMPARE(commentFileBytes(tComment{}), QByteArray("\0\0\0\0\0\0\0\0\0", 9));
}

void TestComments::damagedFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("says");
    // 12 bytes of header, then entries of 24 and 29 bytes.
    const QByteArray good = commentFile(
        "Ann", 5, {{2.0, "hello there", 0x400, 1}, {3.0, "a second comment", 0x401, 2}});
    QTest::newRow("empty file") << QByteArray() << "name";
    QTest::newRow("name without its NUL") << QByteArray("Ann") << "name";
    QTest::newRow("header cut in the count")
        << good.left(10) << "count is missing at byte offset 8";
    QTest::newRow("negative count") << FileBuilder().str("A").i32(0).i32(-1).bytes << "-1";
    QTest::newRow("count beyond the bytes present")
        << FileBuilder().str("A").i32(0).i32(0x7FFFFFFF).entry(1, "x", 1, 1).bytes << "2147483647";
    QTest::newRow("cut in a date")
        << good.left(40) << "date of entry 2 is missing at byte offset 36";
    QTest::newRow("text without its NUL")
        << FileBuilder().str("A").i32(0).i32(1).f64(1).bytes + QByteArray(5, 'x')
        << "text of entry 1";
    QTest::newRow("cut in the last line number") << good.chopped(1) << "line of entry 2";
    QTest::newRow("bytes after the last entry") << good + "junk"
                                                << "4 bytes follow";
}

void TestComments::damagedFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, says);
    try {
        parseCommentFile(bytes, QStringLiteral("/e/7.cmt"));
        QFAIL("accepted a damaged comment file");
    } catch (const DataError& e) {
        QVERIFY2(e.message().startsWith("/e/7.cmt "), qPrintable(e.message()));
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    }
}

void TestComments::firstStartWithoutFiles() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    Comments comments;
    comments.startWith("Noname", 0);
    QStringList warnings;
    comments.LoadCommentSets(editor, editor + "1.cmt", 1, warnings);
    QCOMPARE(comments.setCount(), 1);
    QCOMPARE(comments.CommentSets()[0].Name, QByteArray("Noname"));
    QVERIFY(comments.ShowLineComments(0x400, 0).isEmpty());
    QVERIFY(comments.viewerRows().isEmpty());
    QVERIFY(warnings.isEmpty());
    QVERIFY(QDir(editor).entryList(QDir::Files).isEmpty()); // nothing written at start-up
}

void TestComments::loadsOwnFileThenColleagues() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    writeFile(editor + "1.cmt", commentFile("Me", 1, {{1, "own", 0x400, 0}}));
    writeFile(editor + "2.cmt", commentFile("Bea", 2, {{2, "b", 0x400, 0}}));
    writeFile(editor + "3.CMT", commentFile("Cy", 3, {{3, "c", 0x400, 0}}));
    writeFile(editor + "257.cmt", commentFile("Old me", 4, {{4, "old", 0x400, 0}}));
    writeFile(editor + "notes.cmt", commentFile("X", 5, {}));
    writeFile(editor + "4.cmt", commentFile("Dan", 6, {{5, "d", 0x400, 0}}).chopped(1));
    writeFile(editor + "9.cmt.txt", commentFile("Eve", 7, {}));
    QDir(editor).mkdir("8.cmt"); // a folder, not a file

    Comments comments;
    comments.startWith("Configured", 99);
    QStringList warnings;
    comments.LoadCommentSets(editor, editor + "1.cmt", 1, warnings);

    // The own file's name and colour replace the configured ones; 257.cmt is
    // skipped like the own file (its low 8 bits are 1).
    QStringList names;
    for (const tComment& s : comments.CommentSets())
        names << QString::fromLatin1(s.Name);
    QCOMPARE(names, QStringList({"Me", "Bea", "Cy"}));
    QCOMPARE(comments.CommentSets()[0].Color, 1);

    // One warning names both skipped files with their reasons, not 257.cmt.
    QCOMPARE(warnings.size(), 1);
    const QString w = warnings.first();
    QVERIFY2(w.contains(editor + "notes.cmt: its name is not a translator number"), qPrintable(w));
    QVERIFY2(w.contains(editor + "4.cmt is cut short"), qPrintable(w));
    QVERIFY(!w.contains("257"));
    QVERIFY(!w.contains("8.cmt"));
}

void TestComments::keepsMoreThan255Sets() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    // 2..301, skipping 257 (low 8 bits 1, the own ID): 299 colleagues.
    for (int id = 2; id <= 301; ++id)
        writeFile(editor + QString::number(id) + ".cmt",
                  commentFile("T" + QByteArray::number(id), id, {{double(id), "x", 0x400, 0}}));
    Comments comments;
    comments.startWith("Me", 0);
    QStringList warnings;
    comments.LoadCommentSets(editor, editor + "1.cmt", 1, warnings);
    QCOMPARE(comments.setCount(), 300);
    QCOMPARE(comments.ShowLineComments(0x400, 0).size(), 299);
    QVERIFY(warnings.isEmpty());
}

void TestComments::commentBoxAndViewerOrders() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    const double day = 45000;
    // Line 0x400:3 gets comments by B, A, B in time; equal dates on 0x400:7
    // keep set and entry order in the box.
    writeFile(editor + "1.cmt", commentFile("A", 0x0000FF,
                                            {{day + 0.5, "second", 0x400, 3},
                                             {day + 0.2, "", 0x400, 7},
                                             {day + 0.9, "a late", 0x402, 5}}));
    writeFile(editor + "2.cmt", commentFile("B", 0xFF0000,
                                            {{day + 0.7, "third", 0x400, 3},
                                             {day + 0.1, "first", 0x400, 3},
                                             {day + 0.2, "tie", 0x400, 7},
                                             // same day as "a late", earlier time, lower line
                                             {day + 0.3, "morning", 0x402, 0},
                                             // identical date-times: function, then line
                                             {day - 1, "y", 0x401, 2},
                                             {day - 1, "x", 0x401, 1},
                                             {day - 1, "w", 0x400, 9}}));
    Comments comments;
    comments.startWith("Me", 0);
    QStringList warnings;
    comments.LoadCommentSets(editor, editor + "1.cmt", 1, warnings);

    const QList<tVisLine> box = comments.ShowLineComments(0x400, 3);
    QCOMPARE(box.size(), 3);
    QCOMPARE(box[0].Text, QByteArray("B:first"));
    QCOMPARE(box[0].Color, 0xFF0000);
    QCOMPARE(box[1].Text, QByteArray("A:second"));
    QCOMPARE(box[1].Color, 0x0000FF);
    QCOMPARE(box[2].Text, QByteArray("B:third"));
    QCOMPARE(box[2].Date, day + 0.7);
    const QList<tVisLine> tie = comments.ShowLineComments(0x400, 7);
    QCOMPARE(tie.size(), 2);
    QCOMPARE(tie[0].Text, QByteArray("A:")); // an empty comment: the name and the colon
    QCOMPARE(tie[1].Text, QByteArray("B:tie"));

    QList<QByteArray> rows;
    for (const tCmtLine& c : comments.viewerRows())
        rows << QByteArray::number(c.FuncNum, 16) + ":" + QByteArray::number(c.Line) + " " + c.Text;
    // Newest first, whatever the line; one row per line (400:3 by its newest,
    // 400:7 by the first of two equal ones); equal dates by function, line.
    QCOMPARE(rows, (QList<QByteArray>{"402:5 a late", "400:3 third", "402:0 morning", "400:7 ",
                                      "400:9 w", "401:1 x", "401:2 y"}));
}

void TestComments::marksOnlyLinesThatExist() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    writeFile(editor + "1.cmt", commentFile("A", 0, {{1, "", 0x400, 1}, {1, "", 0x400, 5}}));
    writeFile(editor + "2.cmt", commentFile("B", 0, {{1, "", 0x400, 2}, {1, "", 0x401, 0}}));
    Comments comments;
    comments.startWith("Me", 0);
    QStringList warnings;
    comments.LoadCommentSets(editor, editor + "1.cmt", 1, warnings);
    QCOMPARE(comments.MarkCommentedLines(0x400, 3), (QList<bool>{false, true, true}));
    QCOMPARE(comments.MarkCommentedLines(0x402, 2), (QList<bool>{false, false}));
}

void TestComments::addAndCancelWriteTheOwnFile() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    const QString own = editor + "1.cmt";
    Comments comments;
    comments.startWith("Ann", 0x123456);
    QStringList warnings;
    comments.LoadCommentSets(editor, own, 1, warnings);

    // A cancelled dialog still writes the file: zero entries.
    comments.writeOwnFile(own);
    QCOMPARE(readFile(own), commentFile("Ann", 0x123456, {}));

    comments.addComment(own, {100.25, "note", 0x401, 4});
    comments.addComment(own, {100.5, "", 0x401, 4});
    QCOMPARE(readFile(own),
             commentFile("Ann", 0x123456, {{100.25, "note", 0x401, 4}, {100.5, "", 0x401, 4}}));
    QCOMPARE(comments.CommentSets()[0].Count, 2);
    // Name and colour changed in the options dialog go with the next write.
    comments.own().Name = "Anna";
    comments.writeOwnFile(own);
    QCOMPARE(ReadCommentFile(own).Name, QByteArray("Anna"));
}

void TestComments::failedWriteKeepsTheComment() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/missing/";
    const QString own = editor + "1.cmt";
    Comments comments;
    comments.startWith("Ann", 0);
    QStringList warnings;
    comments.LoadCommentSets(editor, own, 1, warnings);
    QVERIFY_THROWS_EXCEPTION(FileError, comments.addComment(own, {1, "kept", 0x400, 0}));
    QCOMPARE(comments.CommentSets()[0].Lines.size(), 1);
    QVERIFY(QDir(dir.path()).mkdir("missing"));
    comments.addComment(own, {2, "next", 0x400, 1});
    const tComment read = ReadCommentFile(own);
    QCOMPARE(read.Lines.size(), 2);
    QCOMPARE(read.Lines[0].Text, QByteArray("kept"));
}

void TestComments::damagedOwnFileIsKept() {
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    const QString own = editor + "1.cmt";
    const QByteArray damaged = commentFile("Ann", 0, {{1, "lost?", 0x400, 0}}).chopped(2);
    writeFile(own, damaged);
    writeFile(own + ".damaged", "an older copy");
    Comments comments;
    comments.startWith("Ann", 0);
    QStringList warnings;
    comments.LoadCommentSets(editor, own, 1, warnings);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].contains("your own comment file"), qPrintable(warnings[0]));
    QCOMPARE(readFile(own), damaged); // start-up writes nothing

    comments.addComment(own, {2, "new", 0x400, 1});
    QCOMPARE(ReadCommentFile(own).Lines.size(), 1);
    // The damaged bytes survive beside it, without replacing an older copy.
    QCOMPARE(readFile(own + ".damaged"), QByteArray("an older copy"));
    QCOMPARE(readFile(own + ".damaged-2"), damaged);
    comments.addComment(own, {3, "more", 0x400, 2});
    QVERIFY(!QFileInfo::exists(own + ".damaged-3"));
}

void TestComments::ownFileWrittenByAnotherProgram() {
    // The same translator in two programs: neither loses the other's comments.
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    const QString own = editor + "1.cmt";
    writeFile(own, commentFile("Ann", 0, {{1, "old", 0x400, 0}}));
    Comments first, second;
    QStringList warnings;
    for (Comments* c : {&first, &second}) {
        c->startWith("Ann", 0);
        c->LoadCommentSets(editor, own, 1, warnings);
    }
    first.addComment(own, {2, "from first", 0x400, 1});
    second.addComment(own, {3, "from second", 0x400, 2});
    QStringList texts;
    for (const tCmtLine& c : ReadCommentFile(own).Lines)
        texts << QString::fromLatin1(c.Text);
    QCOMPARE(texts, QStringList({"old", "from first", "from second"}));
    QCOMPARE(second.CommentSets()[0].Lines.size(), 3);
}

void TestComments::colleagueFileIsNotOverwritten() {
    // A translator ID changed to a colleague's: that colleague's file stays.
    QTemporaryDir dir;
    const QString editor = dir.path() + "/";
    const QByteArray colleague = commentFile("Bea", 2, {{1, "mine", 0x400, 0}});
    writeFile(editor + "2.cmt", colleague);
    Comments comments;
    comments.startWith("Ann", 0);
    QStringList warnings;
    comments.LoadCommentSets(editor, editor + "1.cmt", 1, warnings);
    comments.writeOwnFile(editor + "1.cmt");
    try {
        comments.addComment(editor + "2.cmt", {2, "by Ann", 0x400, 1});
        QFAIL("wrote over a colleague's comment file");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(editor + "2.cmt"), qPrintable(e.message()));
    }
    QCOMPARE(readFile(editor + "2.cmt"), colleague);
    QCOMPARE(comments.CommentSets()[0].Lines.size(), 1); // kept for a free ID
    comments.writeOwnFile(editor + "3.cmt");
    QCOMPARE(ReadCommentFile(editor + "3.cmt").Lines.size(), 1);
    // Back to the first ID: its file was this program's own.
    comments.addComment(editor + "3.cmt", {3, "again", 0x400, 2});
    comments.addComment(editor + "1.cmt", {4, "back", 0x400, 3});
    QCOMPARE(ReadCommentFile(editor + "1.cmt").Lines.size(), 3);
}

QTEST_APPLESS_MAIN(TestComments)
#include "tst_comments.moc"
