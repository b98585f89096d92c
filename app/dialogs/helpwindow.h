#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace lexivo {

// Lexivo's own help window: the help page in a browser of its own, so that
// Help > Index needs no web browser. Links within the page and to its
// neighbours are followed inside; links to web sites go to the desktop.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* owner);

    // Shows page (a local file or the page built into the program) and
    // brings the window to the front.
    void showPage(const QUrl& page);
    QTextBrowser* browser() const { return HelpBrowser; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* HelpBrowser = nullptr;
};

} // namespace lexivo
