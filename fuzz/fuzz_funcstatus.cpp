// Any FuncStatus.dat and function count: loading never fails on the content,
// and a change keeps every byte it does not touch as the file holds it.
// Input: two bytes of function count (below 4096), one byte choosing the
// change, then the file.

#include "workspace/errors.h"
#include "workspace/fileio.h"
#include "workspace/funcstatus.h"

#include <QTemporaryDir>
#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static QTemporaryDir dir;
    const int count = ((data[0] << 8) | data[1]) & 0x0FFF;
    const quint8 choice = data[2];
    const QByteArray file(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    const QString path = dir.path() + QStringLiteral("/FuncStatus.dat");
    writeFileAtomically(path, file);

    FuncStatus status;
    QStringList warnings;
    status.LoadFuncStatus(path, count, warnings);
    if (status.count() != count || warnings.size() != (file.size() != count ? 1 : 0)) std::abort();

    const int index = count > 0 ? choice % count : 0;
    if (choice & 0x80)
        status.setTranslator(path, {index, -1, count}, choice & 0x3F);
    else
        status.setStatus(path, {index}, choice & 3);
    const QByteArray written = readWholeFile(path);
    if (written.size() != qMax(qsizetype(count), file.size())) std::abort();
    for (qsizetype i = 0; i < written.size(); ++i) {
        const bool changed = count > 0 && i == index;
        if (!changed && i < file.size() && written[i] != file[i]) std::abort();
    }
    return 0;
}
