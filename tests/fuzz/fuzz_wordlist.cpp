// libFuzzer target for the word-list reader. Besides crashes and sanitizer reports it checks what
// must hold for any bytes: at most 150 words, a cause exactly when the list is refused, and, where
// there is no quote to change the rules, the number of fields an independent count gives.

#include "core/WordList.h"
#include "tests/fuzz/Require.h"

#include <algorithm>
#include <cstdint>

namespace {

// Fields of bytes without quotes: one per terminator (CR LF counting once), and one more for the
// text after the last terminator, if any.
qsizetype countFields(QByteArrayView bytes)
{
    QByteArray text = bytes.toByteArray().replace("\r\n", "\n");
    const qsizetype ends = text.count(',') + text.count('\r') + text.count('\n');
    return ends + (!text.isEmpty() && !QByteArrayView(",\r\n").contains(text.back()));
}

bool hasControlCharacter(QByteArrayView bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // No copy: a read past the end of the input lands outside libFuzzer's buffer, where the
    // address sanitizer sees it.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const WordList list = parseWordList(bytes);
    require(list.words.size() <= WordList::Capacity, "more than 150 words");
    require(list.ok() || list.words.isEmpty(), "words kept from a refused list");

    const QList<QByteArray> fields = splitFields(bytes, WordList::Capacity);
    require(fields.size() <= WordList::Capacity + 1, "splitting went on past 151 fields");

    if (bytes.contains('"'))
        return 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (const QByteArray &f : fields)
        require(f.isEmpty() || (!blank(f.front()) && !blank(f.back())), "a blank at a field's end");

    // A DOS end-of-file mark as the very last byte is no part of the list.
    const QByteArrayView body =
        bytes.endsWith('\x1A') ? QByteArrayView(bytes).chopped(1) : QByteArrayView(bytes);
    const QByteArrayView text = body.startsWith("\xEF\xBB\xBF") ? body.sliced(3) : body;
    const qsizetype expected = countFields(text);
    if (hasControlCharacter(body)) {
        require(!list.ok(), "a list with control characters was used");
    } else if (expected > WordList::Capacity) {
        require(!list.ok(), "a list of more than 150 words was used");
    } else {
        require(list.ok(), "a list of plain text within 150 words was refused");
        require(list.words.size() == expected, "word count differs from the independent count");
    }
    return 0;
}
