// Two translators, each with their own program directory and configuration,
// sharing one editor directory: what one writes the other reads, and changes
// made at the same time by both survive.

#include "testgame.h"
#include "workspace.h"
#include "workspace/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace lexivo;
using namespace lexivo::testing;

namespace {

struct Team {
    QTemporaryDir root;
    QString editor() const { return root.path() + "/shared/"; }
    QString game() const { return root.path() + "/game/"; }

    Team() {
        writeFile(game() + "usecode",
                  smallUsecode({{"Good day.", "Bye."}, {"Hm."}, {"Yes.", "No.", "Maybe."}}));
        QDir().mkpath(editor());
        writeIni(
            root.path() + "/ann", game(), editor(),
            "[USER]\r\nID=1\r\nNAME=Ann\r\nCOLOR=255\r\n[GROUP]\r\nTRANSLATORSNAMES=Ann|Bo|\r\n");
        writeIni(
            root.path() + "/bo", game(), editor(),
            "[USER]\r\nID=2\r\nNAME=Bo\r\nCOLOR=65280\r\n[GROUP]\r\nTRANSLATORSNAMES=Ann|Bo|\r\n");
    }
    std::unique_ptr<Workspace> start(const char* who) const {
        auto ws = std::make_unique<Workspace>(root.path() + "/" + who);
        ws->startWithoutWindow();
        return ws;
    }
};

QList<QByteArray> terms(const Dictionary& d) {
    QList<QByteArray> out;
    for (const DictionaryEntry& e : d.entries())
        out << e.term + "=" + e.translation;
    return out;
}

} // namespace

class TestTeam : public QObject {
    Q_OBJECT

private slots:
    void statusChangesOfBothSurvive();
    void dictionaryChangesOfBothSurvive();
    void dictionaryChangeSurvivesAFailedRead();
    void commentsOfOneAreReadByTheOther();
    void changedTranslationFileIsNotOverwritten();
};

void TestTeam::statusChangesOfBothSurvive() {
    Team team;
    auto ann = team.start("ann");
    auto bo = team.start("bo");
    QVERIFY(!QFileInfo::exists(team.editor() + "FuncStatus.dat"));
    QCOMPARE(ann->functionTranslatorName(0), QByteArray("Not assigned"));

    ann->setFunctionStatus({0}, FuncStatus::Working);
    bo->setFunctionStatus({1}, FuncStatus::Complete);
    // Bo assigns function 0, which Ann marked after Bo had started: the
    // translator goes in beside Ann's status.
    QCOMPARE(bo->setFunctionTranslator({0}, 2), (QList<int>{0}));
    QCOMPARE(readFile(team.editor() + "FuncStatus.dat"), QByteArray("\x0A\x00\x03", 3));
    QCOMPARE(bo->functionTranslatorName(0), QByteArray("Bo"));

    // Ann's next change brings in Bo's changes and says which rows they touched.
    QCOMPARE(ann->setFunctionStatus({2}, FuncStatus::NeedRevision), (QList<int>{0, 1, 2}));
    QCOMPARE(ann->funcStatus().bytes(), QByteArray("\x0A\x00\x01", 3));
    QCOMPARE(readFile(team.editor() + "FuncStatus.dat"), ann->funcStatus().bytes());
    QCOMPARE(team.start("bo")->funcStatus().bytes(), ann->funcStatus().bytes());
}

void TestTeam::dictionaryChangesOfBothSurvive() {
    Team team;
    writeFile(team.editor() + "u7.dic", "sword\r\nSchwert\r\n");
    auto ann = team.start("ann");
    auto bo = team.start("bo");
    ann->addDictionaryEntry({"shield", "Schild"});
    bo->addDictionaryEntry({"helm ", "Helm"}); // kept untrimmed, as typed
    QCOMPARE(readFile(team.editor() + "u7.dic"),
             QByteArray("sword\r\nSchwert\r\nshield\r\nSchild\r\nhelm \r\nHelm\r\n"));
    QCOMPARE(terms(bo->dictionary()),
             (QList<QByteArray>{"sword=Schwert", "shield=Schild", "helm =Helm"}));

    QCOMPARE(ann->removeDictionaryTerm("SWORD"), 1);
    QCOMPARE(terms(ann->dictionary()), (QList<QByteArray>{"shield=Schild", "helm=Helm"}));
    QCOMPARE(readFile(team.editor() + "u7.dic"),
             QByteArray("shield\r\nSchild\r\nhelm\r\nHelm\r\n"));
}

void TestTeam::dictionaryChangeSurvivesAFailedRead() {
    Team team;
    auto ann = team.start("ann");
    // u7.dic cannot be read now (a folder took its name): the term is still
    // added in memory, and the error says so.
    QVERIFY(QDir().mkpath(team.editor() + "u7.dic"));
    QVERIFY_THROWS_EXCEPTION(FileError, ann->addDictionaryEntry({"axe", "Axt"}));
    QCOMPARE(terms(ann->dictionary()), QList<QByteArray>{"axe=Axt"});
}

void TestTeam::commentsOfOneAreReadByTheOther() {
    Team team;
    auto ann = team.start("ann");
    QCOMPARE(ann->CommentSets().size(), 1);
    QCOMPARE(ann->CommentSets()[0].Name, QByteArray("Ann")); // from the configuration
    ann->addComment(0x401, 0, "Is this a question?", QDateTime(QDate(2024, 5, 1), QTime(9, 30)));
    auto bo = team.start("bo");
    bo->addComment(0x401, 0, "No.", QDateTime(QDate(2024, 5, 2), QTime(8, 0)));

    const QList<tVisLine> box = team.start("ann")->ShowLineComments(0x401, 0);
    QCOMPARE(box.size(), 2);
    QCOMPARE(box[0].Text, QByteArray("Ann:Is this a question?"));
    QCOMPARE(box[0].Color, 255);
    QCOMPARE(box[1].Text, QByteArray("Bo:No."));
    QCOMPARE(box[1].Color, 65280);
    QCOMPARE(dateTimeFromOleDate(box[1].Date), QDateTime(QDate(2024, 5, 2), QTime(8, 0)));
    QCOMPARE(bo->MarkCommentedLines(0x401, 1), QList<bool>{true});
}

void TestTeam::changedTranslationFileIsNotOverwritten() {
    Team team;
    auto ann = team.start("ann");
    auto bo = team.start("bo");
    const QString file = team.editor() + "0400.TXT";
    Lines annLines = ann->openFunctionLines(0);
    Lines boLines = bo->openFunctionLines(0);
    boLines[0] = "Guten Tag.";
    bo->saveFunctionLines(0x400, boLines);

    annLines[1] = "Tschuess.";
    try {
        ann->saveFunctionLines(0x400, annLines);
        QFAIL("wrote over a colleague's translation");
    } catch (const TranslationFileChanged& e) {
        QVERIFY2(e.message().contains(file), qPrintable(e.message()));
    }
    QCOMPARE(readFile(file), QByteArray("Guten Tag.\r\nBye.\r\n"));

    // Shown again, Ann works on the file as it is now; her saves follow.
    annLines = ann->openFunctionLines(0);
    annLines[1] = "Tschuess.";
    ann->saveFunctionLines(0x400, annLines);
    annLines[1] = "Auf Wiedersehen.";
    ann->saveFunctionLines(0x400, annLines);
    QCOMPARE(readFile(file), QByteArray("Guten Tag.\r\nAuf Wiedersehen.\r\n"));
    // Bo has not seen Ann's lines: refused for him now. A file that is gone
    // is written again.
    QVERIFY_THROWS_EXCEPTION(TranslationFileChanged, bo->saveFunctionLines(0x400, boLines));
    QVERIFY(QFile::remove(file));
    bo->saveFunctionLines(0x400, boLines);
    QCOMPARE(readFile(file), QByteArray("Guten Tag.\r\nBye.\r\n"));
}

QTEST_APPLESS_MAIN(TestTeam)
#include "tst_team.moc"
