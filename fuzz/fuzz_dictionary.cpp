// Any u7.dic: loading never crashes, what is written back reads back as the
// same entries, and the colouring, the lookup and the word at the caret stay
// inside the line they are asked about.

#include "workspace/dictionary.h"
#include "workspace/textlines.h"

#include <cstdlib>

using namespace lexivo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const Lines lines = splitLines(bytes);
    Dictionary dictionary;
    dictionary.LoadDictionary(lines);
    if (dictionary.entries().size() != lines.size() / 2) std::abort();

    Dictionary again;
    again.LoadDictionary(splitLines(joinLines(dictionary.fileLines())));
    if (again.entries().size() != dictionary.entries().size()) std::abort();
    for (qsizetype i = 0; i < again.entries().size(); ++i) {
        if (again.entries()[i].term != dictionary.entries()[i].term ||
            again.entries()[i].translation != dictionary.entries()[i].translation)
            std::abort();
    }

    // Every line of the file stands in for a line of the editor.
    for (const QByteArray& line : lines.mid(0, 64)) {
        for (const Dictionary::Occurrence& hit : dictionary.occurrences(line)) {
            if (hit.start < 0 || hit.length <= 0 || hit.start + hit.length > line.size())
                std::abort();
        }
        for (qsizetype column = 0; column <= line.size() + 1 && column < 80; ++column) {
            const Dictionary::Occurrence word = Dictionary::WordAtCaret(line, column);
            if (word.length < 0 || word.start < 0 || word.start + word.length > line.size())
                std::abort();
            const qsizetype found = dictionary.lookup(line.mid(word.start, word.length));
            if (found < -1 || found >= dictionary.entries().size()) std::abort();
        }
    }

    if (!dictionary.isEmpty()) {
        const QByteArray term = dictionary.entries().first().term;
        const qsizetype before = dictionary.entries().size();
        QByteArray upper = term;
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        }
        const int removed = dictionary.removeTerm(upper);
        if (removed < 1 || dictionary.entries().size() != before - removed) std::abort();
        if (dictionary.lookup(term) != -1) std::abort();
    }
    return 0;
}
