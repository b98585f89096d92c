// Any notes.rtf: the notes reader never crashes or hangs.

#include "notes/rtfreader.h"
#include "workspace/cp1252codec.h"

#include <QGuiApplication>
#include <QTextDocument>

using namespace lexivo;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Cp1252Codec codec;
    QTextDocument document;
    RtfReader(codec).read(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                          &document);
    return 0;
}
