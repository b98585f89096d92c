// Crash safety of every write: a child process saves every kind of workspace
// file and rebuilds the game files in a loop, alternating between two
// contents, and is killed with SIGKILL at many points. Every file must then
// hold a whole content it had or was given, never a mix or a truncation, and
// the next start must take no temporary file left beside a target for a
// workspace file. A full file system makes each write fail with a clear
// message and leaves the old file whole.

#include "gamebuilder/samplegame.h"
#include "gamebuilder/textarchive.h"
#include "testgame.h"
#include "workspace.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

const QList<QList<QByteArray>> Functions = {
    {"Hello, traveller.", "Farewell."}, {"Only one."}, {"Name?", "Avatar", "Bye."}};

// A game and its workspace after the first start, every translation file made.
void prepare(const QString& root) {
    writeFile(root + "/game/usecode", smallUsecode(Functions, true));
    writeFile(root + "/game/text.flx",
              gamebuild::textArchive(
                  {QByteArray("Dawn"), QByteArray("Dusk"), std::nullopt, QByteArray("Avatar")}));
    writeIni(root + "/prog", root + "/game/", {},
             "[USER]\r\nID=1\r\n[SETTING]\r\nLASTFUNC=0\r\nLASTFUNCLINE=0\r\n");
    Workspace ws(root + "/prog/");
    ws.startWithoutWindow();
    ws.createMissingTranslationFiles();
}

// One round of work in version v (0 or 1): every workspace file is saved, then
// the fast rebuild writes usecode and Text.flx.
void work(Workspace& ws, int v) {
    const QByteArray tag = v ? "B" : "A";
    ws.saveFunctionLines(0x400, {"Salut " + tag + QByteArray(3000 * (v + 1), 'x'), "Adieu."});
    Lines text = ws.textLines();
    text[0] = "Aube " + tag + QByteArray(2000 * (v + 1), 't');
    ws.saveTextTab(text);
    tComment& own = ws.comments().own();
    own.Lines = {{45000.25, "comment " + tag + QByteArray(500 * (v + 1), 'c'), 0x400, 0}};
    own.Count = 1;
    ws.writeOwnComments();
    ws.setFunctionStatus({0, 2}, v ? 2 : 1);
    if (v)
        ws.removeDictionaryTerm("Avatar");
    else
        ws.addDictionaryEntry({"Avatar", "Avatar " + QByteArray(1000, 'd')});
    // One key changes: the position is two keys, each written on its own.
    ws.saveLastPosition(v ? 2 : 1, 0);
    ws.TranslationsChanged = true;
    ws.TextChanged = true;
    ws.Rebuild(false, {}, &text);
}

// The child: `--child ROOT ROUNDS` works ROUNDS rounds (-1: until killed).
int child(const QString& root, int rounds) {
    try {
        Workspace ws(root + "/prog/");
        ws.startWithoutWindow();
        (void)ws.openFunctionLines(0);
        fputs("ready\n", stdout);
        fflush(stdout);
        for (int i = 0; rounds < 0 || i < rounds; ++i)
            work(ws, i % 2);
    } catch (const Error& e) {
        fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

// A game of the original DOS engine: usecode with LINKDEP1 and LINKDEP2
// beside it, which every rebuild writes together.
void prepareDos(const QString& root) {
    gamebuild::SampleGameOptions options;
    options.dos = true;
    gamebuild::writeSampleGame(root + "/game/", options);
    writeIni(root + "/prog", root + "/game/", {}, "[USER]\r\nID=1\r\n");
    Workspace ws(root + "/prog/");
    ws.startWithoutWindow();
    ws.createMissingTranslationFiles();
}

// The DOS child: `--dos-child ROOT ROUNDS` translates the first function in
// version A or B, in turn, and rebuilds (-1: until killed).
int dosChild(const QString& root, int rounds) {
    try {
        Workspace ws(root + "/prog/");
        ws.startWithoutWindow();
        const quint16 number = ws.funcs().first().FuncNum;
        const Lines original = ws.openFunctionLines(0);
        fputs("ready\n", stdout);
        fflush(stdout);
        for (int i = 0; rounds < 0 || i < rounds; ++i) {
            Lines lines = original;
            lines[0] = i % 2 ? "B " + lines[0] + " longer" : "A";
            ws.saveFunctionLines(number, lines);
            ws.TranslationsChanged = true;
            ws.Rebuild(false);
        }
    } catch (const Error& e) {
        fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

// Every kind of save on a file system that takes no more bytes: one line per
// save, "file<TAB>message" ("file<TAB>" when the save did not fail).
QStringList attemptSaves(const QString& root) {
    Workspace ws(root + "/prog/");
    ws.startWithoutWindow();
    (void)ws.openFunctionLines(0);
    QStringList results;
    const auto attempt = [&](const QString& file, const std::function<void()>& save) {
        QString message;
        try {
            save();
        } catch (const Error& e) {
            message = e.message();
        }
        results << file + '\t' + message;
    };
    attempt("prog/0400.TXT", [&] {
        ws.saveFunctionLines(0x400, {QByteArray(8000, 'y'), "Adieu."});
    });
    attempt("prog/text.txt", [&] {
        Lines text = ws.textLines();
        text[0] = QByteArray(9000, 'z');
        ws.saveTextTab(text);
    });
    attempt("prog/1.cmt", [&] { ws.addComment(0x401, 0, QByteArray(6000, 'k')); });
    attempt("prog/u7.dic", [&] { ws.addDictionaryEntry({"Britain", QByteArray(6000, 'b')}); });
    attempt("prog/LEXIVO.INI",
            [&] { ws.ini().writeString("GROUP", "TRANSLATORSNAMES", QByteArray(5000, 'n')); });
    attempt("game/usecode", [&] { ws.Rebuild(true); });
    return results;
}

// Each save failed with the file's path and the system's reason (the
// configuration file has a message of its own).
void checkFailedSaves(const QString& root, const QStringList& results) {
    QCOMPARE(results.size(), 6);
    for (const QString& result : results) {
        const QString file = root + "/" + result.section('\t', 0, 0);
        const QString message = result.section('\t', 1);
        if (file.endsWith("LEXIVO.INI")) {
            QCOMPARE(message, "Unable to write to " + file);
            continue;
        }
        QVERIFY2(message.startsWith("Cannot create file \"" + file + "\". "), qPrintable(result));
        QVERIFY2(message.size() > file.size() + 25, qPrintable(result)); // the reason follows
    }
}

// The temporary file of an atomic write: the target's name and a suffix.
const QRegularExpression TemporaryName(QStringLiteral("^(.+)\\.[A-Za-z0-9]{6}$"));

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

    QString m_self;

    int runChild(const QString& root, int rounds, const QString& mode = "--child") {
        QProcess p;
        p.start(m_self, {mode, root, QString::number(rounds)});
        if (!p.waitForFinished(60000)) return -1;
        if (p.exitCode() != 0) qWarning() << p.readAllStandardError();
        return p.exitCode();
    }

    // Starts a child working until killed and kills it with SIGKILL the given
    // number of microseconds after it started work.
    void killWorkingChild(const QString& root, const QString& mode, quint32 micros) {
        QProcess p;
        p.start(m_self, {mode, root, "-1"});
        QVERIFY(p.waitForStarted());
        while (!p.canReadLine())
            QVERIFY2(p.waitForReadyRead(10000), "the child did not start work");
        QThread::usleep(micros);
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished();
    }

private slots:
    void initTestCase() { m_self = QCoreApplication::applicationFilePath(); }

    void killedAtManyPoints() {
        // The contents each file may hold: as the first start left it, and
        // after one and two rounds (a third round gives the first round's).
        // One folder for every round: LEXIVO.INI holds its path.
        QTemporaryDir base;
        const QString root = base.path() + "/w";
        const auto fresh = [&] {
            QDir(root).removeRecursively();
            prepare(root);
        };
        Snapshot versions[3];
        for (int rounds = 0; rounds <= 3; ++rounds) {
            fresh();
            QCOMPARE(runChild(root, rounds), 0);
            const Snapshot s = snapshot(root);
            if (rounds < 3) {
                versions[rounds] = s;
                continue;
            }
            for (auto it = s.begin(); it != s.end(); ++it) {
                QVERIFY2(versions[1].value(it.key()) == it.value(),
                         qPrintable(it.key() + ": a third round differs from the first"));
            }
        }
        QStringList names = versions[0].keys() + versions[1].keys() + versions[2].keys();
        names.removeDuplicates();
        for (const char* name :
             {"game/usecode", "game/text.flx", "prog/0400.TXT", "prog/text.txt", "prog/1.cmt",
              "prog/FuncStatus.dat", "prog/u7.dic", "prog/LEXIVO.INI"})
            QVERIFY2(versions[1].value(name) != versions[2].value(name), qPrintable(name));

        QRandomGenerator random(20261210);
        int leftovers = 0;
        for (int round = 0; round < 100; ++round) {
            fresh();
            killWorkingChild(root, "--child", random.bounded(60000));
            if (QTest::currentTestFailed()) return;

            const Snapshot now = snapshot(root);
            for (auto it = now.begin(); it != now.end(); ++it) {
                const QString& name = it.key();
                if (names.contains(name)) {
                    bool known = false;
                    for (const Snapshot& v : versions)
                        known = known || (v.contains(name) && v.value(name) == it.value());
                    QVERIFY2(known, qPrintable(QStringLiteral("round %1: %2 is neither old nor new")
                                                   .arg(round)
                                                   .arg(name)));
                    continue;
                }
                const QRegularExpressionMatch m = TemporaryName.match(name);
                QVERIFY2(m.hasMatch() && names.contains(m.captured(1)),
                         qPrintable("unexpected file " + name));
                ++leftovers;
            }
            for (const QString& name : versions[0].keys())
                QVERIFY2(now.contains(name), qPrintable(name + " vanished"));

            // The next start: no leftover is taken for a workspace file.
            Workspace ws(root + "/prog/");
            ws.startWithoutWindow();
            QCOMPARE(ws.takeWarnings(), QStringList());
            QCOMPARE(ws.CommentSets().size(), 1);
            const SearchResult hits = ws.searchUsecode("Salut", false);
            for (const SearchHit& hit : hits.hits)
                QCOMPARE(hit.funcIndex, quint16(0));
            QCOMPARE(ws.createMissingTranslationFiles(), 0);
        }
        qInfo("%d temporary files left by 100 kills, none taken for a workspace file", leftovers);
    }

    // usecode, LINKDEP1 and LINKDEP2 only work together: killed at any point
    // of a rebuild, the next start finds the three of one rebuild, never a
    // new usecode with old index files.
    void killedWhileWritingTheDosSet() {
        QTemporaryDir base;
        const QString root = base.path() + "/d";
        const QStringList set = {"game/USECODE", "game/LINKDEP1", "game/LINKDEP2"};
        const auto fresh = [&] {
            QDir(root).removeRecursively();
            prepareDos(root);
        };
        const auto setOf = [&](const Snapshot& s) {
            QByteArrayList files;
            for (const QString& name : set)
                files << s.value(name);
            return files;
        };
        QList<QByteArrayList> versions;
        for (int rounds = 0; rounds <= 3; ++rounds) {
            fresh();
            QCOMPARE(runChild(root, rounds, "--dos-child"), 0);
            versions << setOf(snapshot(root));
        }
        QCOMPARE(versions[3], versions[1]); // a third round gives the first round's files
        QVERIFY(versions[1] != versions[0] && versions[2] != versions[1]);
        for (int i = 0; i < 3; ++i)
            QVERIFY(versions[1][i] != versions[2][i]); // each file of the set changes

        QRandomGenerator random(20261211);
        int completed = 0;
        for (int round = 0; round < 60; ++round) {
            fresh();
            killWorkingChild(root, "--dos-child", random.bounded(40000));
            if (QTest::currentTestFailed()) return;

            // The next start finishes a set that was being put in place.
            Workspace ws(root + "/prog/");
            ws.startWithoutWindow();
            const QStringList warnings = ws.takeWarnings();
            QVERIFY2(warnings.size() <= 1, qPrintable(warnings.join('\n')));
            if (!warnings.isEmpty()) {
                QVERIFY2(warnings.first().startsWith("A rebuild was stopped while it replaced the "
                                                     "game files"),
                         qPrintable(warnings.first()));
                ++completed;
            }
            const Snapshot now = snapshot(root);
            QVERIFY2(versions.mid(0, 3).contains(setOf(now)),
                     qPrintable(QStringLiteral("round %1: usecode and its index files are not "
                                               "of one rebuild")
                                    .arg(round)));
            QVERIFY(!now.contains("game/lexivo-rebuild.pending"));
        }
        qInfo("%d of 60 kills stopped a rebuild while it put its files in place", completed);
    }

    // Where the file system cannot make unnamed files (some network shares),
    // a killed write leaves its temporary file beside the target, named as
    // the target with a suffix. The next start takes none of them for a
    // translation file, a comment file or any other workspace file, however
    // they look inside.
    void leftoverTemporaryFilesAreIgnored() {
        QTemporaryDir dir;
        prepare(dir.path());
        const QString editor = dir.path() + "/prog/";
        const QByteArray translation = "Salut leftover\r\nAdieu leftover\r\n";
        const QStringList leftovers = {"0400.TXT.Ab12Cd", "0401.TXT.x9Y8z7",       "1.cmt.Qq0Ww9",
                                       "2.cmt.zZ3kL1",    "FuncStatus.dat.aB3dE5", "u7.dic.Mm1Nn2",
                                       "text.txt.Kk7Jj6"};
        for (const QString& name : leftovers)
            writeFile(editor + name, name.contains("TXT") || name.startsWith("text")
                                         ? translation
                                         : QByteArray("\xff\x7f\x00\x01 junk", 10));
        writeFile(editor + "u7.dic.Mm1Nn2", "Salut\r\nleftover\r\n");

        Workspace ws(editor);
        ws.startWithoutWindow();
        QCOMPARE(ws.takeWarnings(), QStringList());
        QCOMPARE(ws.CommentSets().size(), 1);
        QVERIFY(ws.dictionary().isEmpty());
        QCOMPARE(ws.funcStatus().count(), 3);
        QVERIFY(!ws.textLines().join().contains("leftover"));
        QCOMPARE(ws.searchUsecode("leftover", false).hits.size(), 0);
        QCOMPARE(ws.openFunctionLines(0), (Lines{"Hello, traveller.", "Farewell."}));
        for (const QString& name : leftovers)
            QVERIFY2(QFileInfo::exists(editor + name), qPrintable(name)); // a colleague's, maybe
    }

    // A file-size limit (any user may set one): the same as a full disk.
    void fileSizeLimit() {
        QTemporaryDir dir;
        prepare(dir.path());
        QCOMPARE(runChild(dir.path(), 1), 0); // every file exists
        const Snapshot before = snapshot(dir.path());
        QProcess p;
        p.start(m_self, {"--limited", dir.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        checkFailedSaves(
            dir.path(),
            QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts));
        QCOMPARE(snapshot(dir.path()), before);
    }

    // The same for usecode and its index files, written together: nothing in
    // the game folder changes, and no temporary file is left there.
    void fileSizeLimitDosSet() {
        QTemporaryDir dir;
        prepareDos(dir.path());
        const auto gameFiles = [&] {
            Snapshot s = snapshot(dir.path());
            for (const QString& name : s.keys())
                if (!name.startsWith("game/")) s.remove(name);
            return s;
        };
        const Snapshot before = gameFiles();
        QProcess p;
        p.start(m_self, {"--limited", dir.path(), "dos"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        const QString message = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        QVERIFY2(message.startsWith("Cannot create file \"" + dir.path() + "/game/USECODE\". "),
                 qPrintable(message));
        QCOMPARE(gameFiles(), before);
    }

    // A full file system: every save fails with the file's name and the
    // system's reason, and the file it would have replaced stays whole.
    void fullDisk() {
        if (geteuid() != 0) QSKIP("mounting a small file system needs root");
        QTemporaryDir dir;
        const QString root = dir.path() + "/small";
        QDir().mkpath(root);
        if (::mount("tmpfs", QFile::encodeName(root).constData(), "tmpfs", 0, "size=256k") != 0)
            QSKIP("cannot mount a tmpfs here");
        struct Unmount {
            QByteArray path;
            ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
        } unmount{QFile::encodeName(root)};

        prepare(root);
        {
            Workspace ws(root + "/prog/");
            ws.startWithoutWindow();
            (void)ws.openFunctionLines(0);
            work(ws, 0); // every file exists before the disk fills
        }
        // Fill the file system to its last few bytes.
        {
            QFile filler(root + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size()) {
            }
            const QByteArray byte(1, 'f');
            while (filler.write(byte) == 1) {
            }
        }
        const Snapshot before = snapshot(root);

        checkFailedSaves(root, attemptSaves(root));
        QCOMPARE(snapshot(root).size(), before.size()); // no temporary file left behind
        const Snapshot after = snapshot(root);
        for (auto it = before.begin(); it != before.end(); ++it) {
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + " changed"));
        }
    }
};

int main(int argc, char* argv[]) {
    if (argc >= 3 && qstrcmp(argv[1], "--limited") == 0) {
        // No file may grow past 2 KiB; a write beyond fails (EFBIG) instead
        // of ending the process. With "dos": one rebuild of the DOS-style game.
        QCoreApplication app(argc, argv);
        const rlimit limit{2048, 2048};
        std::signal(SIGXFSZ, SIG_IGN);
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        if (argc == 4 && qstrcmp(argv[3], "dos") == 0)
            return dosChild(QString::fromLocal8Bit(argv[2]), 1);
        try {
            for (const QString& line : attemptSaves(QString::fromLocal8Bit(argv[2])))
                std::printf("%s\n", qPrintable(line));
        } catch (const Error& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.message()));
            return 1;
        }
        return 0;
    }
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    }
    if (argc == 4 && qstrcmp(argv[1], "--dos-child") == 0) {
        QCoreApplication app(argc, argv);
        return dosChild(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
