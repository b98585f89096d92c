// Any PO file, as a colleague's tool or a damaged download may leave it: read
// as import-po reads it, never a crash or a hang, only a catalogue or a clear
// DataError naming the file. A catalogue that was read is written and read
// again, and keeps its entries.

#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/po.h"

#include <QTemporaryDir>
#include <cstdlib>

using namespace lexivo;

// libgettextpo keeps what it had allocated when a fatal complaint ends a read
// early; that is the library's, and not a finding of this target.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.po"));
    writeFileAtomically(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    PoCatalog catalog;
    try {
        catalog = readPoFile(path);
    } catch (const DataError& e) {
        if (!e.message().contains(path)) std::abort(); // the message names the file
        return 0;
    }
    const QString again = dir.filePath(QStringLiteral("out.po"));
    try {
        writePoFile(again, catalog);
        const PoCatalog reread = readPoFile(again);
        if (reread.entries.size() != catalog.entries.size()) std::abort();
    } catch (const Error&) {
        // Text the writer cannot carry (bytes that are no UTF-8) is refused
        // with a message; that is no finding.
    }
    return 0;
}
