#include "lineattributehighlighter.h"

namespace lexivo {

LineAttributeHighlighter::LineAttributeHighlighter(QTextDocument* document, Callback callback)
    : QSyntaxHighlighter(document), m_callback(std::move(callback)) {}

void LineAttributeHighlighter::highlightBlock(const QString& text) {
    if (!m_callback || text.isEmpty()) return;
    QList<CharAttr> attrs(text.size());
    m_callback(text, attrs);
    // Runs of equal attributes become one format each.
    qsizetype start = 0;
    while (start < attrs.size()) {
        const CharAttr& a = attrs[start];
        qsizetype end = start + 1;
        while (end < attrs.size() && attrs[end].set == a.set && attrs[end].fore == a.fore &&
               attrs[end].back == a.back && attrs[end].italic == a.italic &&
               attrs[end].bold == a.bold)
            ++end;
        if (a.set) {
            QTextCharFormat format;
            format.setForeground(a.fore);
            format.setBackground(a.back);
            format.setFontItalic(a.italic);
            format.setFontWeight(a.bold ? QFont::Bold : QFont::Normal);
            setFormat(int(start), int(end - start), format);
        }
        start = end;
    }
}

} // namespace lexivo
