#pragma once

#include <QColor>
#include <QList>
#include <QSyntaxHighlighter>
#include <functional>

namespace lexivo {

// The attribute of one character of an editor line. Characters whose
// attribute is not set keep the editor's plain colours.
struct CharAttr {
    bool set = false;
    QColor fore;
    QColor back;
    bool italic = false;
    bool bold = false;
};

// Asks a per-line attribute callback for every line the editor paints and
// applies what it answers. Attached to an editor's document; the editor
// itself stays a plain text editor.
class LineAttributeHighlighter : public QSyntaxHighlighter {
public:
    // Given the text of one line and one attribute per character (all unset),
    // changes the attributes of chosen characters.
    using Callback = std::function<void(const QString& line, QList<CharAttr>& attrs)>;

    LineAttributeHighlighter(QTextDocument* document, Callback callback);

    // The row being coloured, for callbacks that colour by row.
    int currentRow() const { return currentBlock().blockNumber(); }

protected:
    void highlightBlock(const QString& text) override;

private:
    Callback m_callback;
};

} // namespace lexivo
