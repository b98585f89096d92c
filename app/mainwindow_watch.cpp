// The editor directory watched: when a translation file is made, changed or
// removed on disk (a colleague's save, import-po, a copy), its function's
// figures in the status grid and the status bar are counted again, and Fast
// Rebuild follows whether any file now differs from the game file.

#include "mainwindow.h"

#include <QFileSystemWatcher>
#include <QTimer>

namespace lexivo {

namespace {
// Saves come in bursts (a rename, a copy of many files): one recount after
// the last event.
constexpr int SettleMilliseconds = 300;
} // namespace

void MainWindow::watchEditorDirectory() {
    if (m_editorWatcher || m_ws.editorDirectory().isEmpty()) return;
    m_editorWatcher = new QFileSystemWatcher(this);
    m_editorSettle = new QTimer(this);
    m_editorSettle->setSingleShot(true);
    m_editorSettle->setInterval(SettleMilliseconds);
    connect(m_editorSettle, &QTimer::timeout, this,
            [this] { guard([&] { editorDirectoryChanged(); }); });
    const auto settle = [this] { m_editorSettle->start(); };
    // The directory tells of files made, removed and renamed over (every
    // atomic save); each file's own watch of a change written in place.
    connect(m_editorWatcher, &QFileSystemWatcher::directoryChanged, this, settle);
    connect(m_editorWatcher, &QFileSystemWatcher::fileChanged, this, settle);
    m_editorWatcher->addPath(m_ws.editorDirectory());
    QStringList files;
    m_ws.changedTranslationFiles(&files); // the files as they are now
    if (!files.isEmpty()) m_editorWatcher->addPaths(files);
}

void MainWindow::editorDirectoryChanged() {
    if (m_busy) {
        // A rebuild reads the files now; the recount follows it.
        m_editorSettle->start();
        return;
    }
    QStringList files;
    const QList<int> changed = m_ws.changedTranslationFiles(&files);
    // A file replaced by a rename is a new file to the watch.
    const QStringList watched = m_editorWatcher->files();
    QStringList added;
    for (const QString& file : std::as_const(files))
        if (!watched.contains(file)) added << file;
    if (!added.isEmpty()) m_editorWatcher->addPaths(added);

    if (changed.isEmpty()) return;
    // Each cell is drawn again even when the figures were already taken from
    // the file (the function was shown again from it meanwhile).
    for (int index : changed) {
        m_ws.recountFunction(index);
        setTranslatedCell(index);
    }
    showProjectProgress();
    m_ws.TranslationsChanged = m_ws.translationsDifferFromGame();
    setFastRebuildEnabled(m_ws.TranslationsChanged || m_ws.TextChanged);
}

} // namespace lexivo
