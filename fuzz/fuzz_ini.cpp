// Any LEXIVO.INI: reading every key and writing never crash, and a value
// written to a section of its own is read back.

#include "workspace/config.h"
#include "workspace/errors.h"
#include "workspace/fileio.h"

#include <QTemporaryDir>
#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("LEXIVO.INI"));
    writeFileAtomically(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    IniFile ini(path);
    (void)readSettings(ini, "/p/");
    ini.writeInteger(ini::Setting, ini::LastFunc, 77);
    ini.writeString("NEW SECTION", "KEY", "value");
    if (ini.readString("NEW SECTION", "KEY") != "value") std::abort();
    return 0;
}
