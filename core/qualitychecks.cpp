// The quality checks of the translations, as one operation: Check
// translations and the question before a complete rebuild in the window, and
// lexivo-cli qa, all run Workspace::checkTranslations, so they report the same.

#include "workspace.h"

#include "usecode/keywordcheck.h"
#include "workspace/glyphcheck.h"
#include "workspace/translationfile.h"

#include <QFileInfo>
#include <algorithm>
#include <map>

namespace lexivo {

Workspace::QualityChecks Workspace::qualityChecks(const Cp1252Codec& codec) const {
    // Every check that runs, one line each. Findings of one line are listed
    // in this order.
    QualityChecks checks;
    checks.push_back(std::make_unique<LineCountCheck>());
    checks.push_back(std::make_unique<LineChecks>(codec, qaLengthPercent()));
    checks.push_back(std::make_unique<KeywordCheck>(
        m_keywords, codec, [this](int function) -> std::optional<Lines> {
            const quint16 funcNum = m_usecode.funcs[function].FuncNum;
            // Shown to the check, not readable, or a second record of a number.
            if (QFileInfo(TranslationFilePath(funcNum)).isFile() ||
                FindFuncIndex(funcNum) != function)
                return std::nullopt;
            return functionStrings(function);
        }));
    checks.push_back(std::make_unique<GlyphQualityCheck>(glyphCheck(codec)));
    return checks;
}

GlyphCheck Workspace::glyphCheck(const Cp1252Codec& codec) const {
    // Code-page game text is checked only against a font map the team
    // configured: the engine's own table says nothing of a code page's font.
    const bool active =
        m_settings.gameTextEncoding == GameTextEncoding::Utf8 ||
        (m_settings.gameTextEncoding == GameTextEncoding::Windows && !fontMapFile().isEmpty());
    return GlyphCheck(m_fontMap, m_settings.gameFont, codec, active);
}

int Workspace::qaLengthPercent() const {
    const int percent = m_ini ? int(m_ini->readInteger(ini::Setting, "QALENGTH",
                                                       TranslationChecks::DefaultLengthPercent))
                              : TranslationChecks::DefaultLengthPercent;
    return percent >= 100 ? percent : TranslationChecks::DefaultLengthPercent;
}

QList<Workspace::Finding> Workspace::checkTranslations(const Cp1252Codec& codec,
                                                       const Lines* textTabLines,
                                                       QStringList* skipped) const {
    QualityChecks checks = qualityChecks(codec);
    return runChecks(checks, textTabLines, skipped);
}

QList<Workspace::Finding> Workspace::runChecks(QualityChecks& checks, const Lines* textTabLines,
                                               QStringList* skipped) const {
    // The problems of each place by function index, text.txt last.
    const int textPlace = functionCount();
    std::map<int, QList<CheckProblem>> found;
    for (int i = 0; i < functionCount(); ++i) {
        const tFunc& func = m_usecode.funcs[i];
        // A number two records share has the file of the first one.
        if (FindFuncIndex(func.FuncNum) != i) continue;
        const QString path = TranslationFilePath(func.FuncNum);
        if (!QFileInfo(path).isFile()) continue; // nothing translated yet
        Lines lines;
        try {
            lines = loadFunctionTranslation(i, path);
        } catch (const DataError& e) {
            if (skipped) skipped->append(e.message());
            continue;
        }
        const Lines originals = originalLines(i);
        const CheckedLines subject{i, func.FuncNum, lines, originals, functionStrings(i).size()};
        QList<CheckProblem>& problems = found[i];
        for (const auto& check : checks)
            check->checkFunction(subject, problems);
    }

    Lines text, english;
    if (textTabLines)
        text = *textTabLines;
    else if (QFileInfo(textPath()).isFile())
        text = loadTextLines(textPath());
    if (m_gameTextLoaded)
        english = m_englishLines;
    else if (QFileInfo(englishTextPath()).isFile())
        english = loadTextLines(englishTextPath());
    // Notes after " # " reach textmsg.txt, but not Text.flx.
    const bool messageFile =
        m_gameTextLoaded ? UseMessageFile : findGameTextFile(m_usecodeDirectory).isMessageFile;
    const CheckedLines messages{-1, 0, text, english, english.size(), !messageFile};
    for (const auto& check : checks)
        check->checkMessages(messages, found[textPlace]);

    QList<QPair<int, CheckProblem>> late;
    for (const auto& check : checks)
        check->finish(late);
    for (const auto& [index, problem] : std::as_const(late))
        if (index < functionCount()) found[index < 0 ? textPlace : index].append(problem);

    QList<Finding> findings;
    for (auto& [index, problems] : found) {
        std::stable_sort(
            problems.begin(), problems.end(),
            [](const CheckProblem& a, const CheckProblem& b) { return a.line < b.line; });
        for (const CheckProblem& p : std::as_const(problems)) {
            if (index == textPlace)
                findings.append({-1, "text", {}, p});
            else
                findings.append(
                    {index, m_usecode.funcs[index].HexNum, m_usecode.funcs[index].Description, p});
        }
    }
    return findings;
}

} // namespace lexivo
