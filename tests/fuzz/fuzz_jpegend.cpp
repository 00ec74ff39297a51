// libFuzzer target for the test that tells a whole JPEG from one cut short. Besides crashes and
// sanitizer reports it checks that the answer depends on nothing after the end-of-image marker:
// a JPEG found whole stays whole with any data appended, and its end marker is there.

#include "pictures/PictureHeader.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!jpegReachesEndOfImage(bytes))
        return 0;
    require(bytes.contains(QByteArrayView("\xFF\xD9", 2)), "whole without an end marker");
    require(jpegReachesEndOfImage(bytes + bytes), "whole no more once data was appended");
    require(jpegReachesEndOfImage(bytes + QByteArray("\xFF\xDA\x00\x02\xFF", 5)),
            "whole no more once a scan was appended");
    return 0;
}
