// Any comment file: a clear DataError or a comment set, never a crash, a hang
// or an allocation the bytes cannot back. A set that was read is written and
// read back, and the comment box, the marks and the viewer are built from it.

#include "workspace/comments.h"
#include "workspace/errors.h"

#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    tComment set;
    try {
        set = parseCommentFile(bytes, QStringLiteral("7.cmt"));
    } catch (const DataError&) {
        return 0;
    }
    if (set.Count != set.Lines.size()) std::abort();
    const tComment again = parseCommentFile(commentFileBytes(set), QStringLiteral("7.cmt"));
    if (again.Lines.size() != set.Lines.size() || again.Color != set.Color) std::abort();

    Comments comments;
    comments.startWith("Me", 0);
    comments.own() = set;
    for (const tCmtLine& line : set.Lines) {
        (void)dateTimeFromOleDate(line.Date);
        (void)comments.ShowLineComments(line.FuncNum, line.Line);
        (void)comments.MarkCommentedLines(line.FuncNum, line.Line % 64);
    }
    (void)comments.viewerRows();
    return 0;
}
