#include "editor/HeicPicture.h"

#include "pictures/PictureHeader.h"

#include <libheif/heif.h>

#include <cmath>
#include <memory>

namespace {

// The Italian cause first; libheif's own words, in English, after it.
QString failed(const heif_error &error)
{
    const QString why = QString::fromUtf8(error.message);
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return QStringLiteral("l'immagine è troppo grande (%1)").arg(why);
    return QStringLiteral("non è un'immagine HEIC valida (%1)").arg(why);
}

// libheif 1.15 limits each side, not the area, and checks the pictures as coded, which may be
// larger than the header says. The limit is the longer side of a 4:1 panorama whose memory fits
// the budget: no picture the budget lets in is refused by it, and a header that lies costs at
// most four budgets.
int longestSide(const DecodeBudget &budget)
{
    return int(2 * std::sqrt(double(budget.total()) / HeicBytesPerPixel));
}

} // namespace

bool isHeic(const QByteArray &data)
{
    const heif_filetype_result type = heif_check_filetype(
        reinterpret_cast<const uint8_t *>(data.constData()), int(qMin<qsizetype>(data.size(), 64)));
    return type == heif_filetype_yes_supported || type == heif_filetype_yes_unsupported;
}

QString tooLargeToRead(QSize size, qint64 bytes, qint64 budgetBytes)
{
    constexpr qint64 MiB = DecodeBudget::MiB;
    return QStringLiteral("l'immagine è troppo grande (%1 x %2 pixel: per leggerla servirebbero "
                          "%3 MB di memoria, al massimo %4 MB)")
        .arg(size.width())
        .arg(size.height())
        .arg((bytes + MiB - 1) / MiB)
        .arg(budgetBytes / MiB);
}

HeicImage decodeHeic(const QByteArray &data, int smallest, DecodeBudget &budget)
{
    HeicImage out;
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    heif_context_set_maximum_image_size_limit(context.get(), longestSide(budget));
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                                  size_t(data.size()), nullptr);
    heif_image_handle *rawHandle = nullptr;
    if (error.code == heif_error_Ok)
        error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    if (error.code != heif_error_Ok) {
        out.cause = failed(error);
        return out;
    }
    std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(
        rawHandle, heif_image_handle_release);
    heif_item_id thumbnailId = 0;
    heif_image_handle *thumbnail = nullptr;
    if (smallest > 0 && heif_image_handle_get_list_of_thumbnail_IDs(rawHandle, &thumbnailId, 1) == 1
        && heif_image_handle_get_thumbnail(rawHandle, thumbnailId, &thumbnail).code
               == heif_error_Ok) {
        if (qMax(heif_image_handle_get_width(thumbnail), heif_image_handle_get_height(thumbnail))
            >= smallest)
            handle.reset(rawHandle = thumbnail);
        else
            heif_image_handle_release(thumbnail);
    }
    // The header alone decides whether decoding may start.
    const QSize size(heif_image_handle_get_width(rawHandle),
                     heif_image_handle_get_height(rawHandle));
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > PictureLimits::MaxPixels || pixels * HeicBytesPerPixel > budget.total()) {
        out.cause = tooLargeToRead(size, pixels * HeicBytesPerPixel, budget.total());
        return out;
    }
    out.memory = budget.reserve(pixels * HeicBytesPerPixel);
    heif_image *rawImage = nullptr;
    // Four bytes a pixel, the fourth 255 as libheif writes it where the picture has no alpha: a
    // format Qt's smooth scaling takes as it is, where three bytes would be copied into four.
    error = heif_decode_image(rawHandle, &rawImage, heif_colorspace_RGB,
                              heif_chroma_interleaved_RGBA, nullptr);
    if (error.code != heif_error_Ok) {
        out.cause = failed(error);
        return out;
    }
    int stride = 0;
    const uint8_t *pixelData =
        heif_image_get_plane_readonly(rawImage, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(rawImage, heif_channel_interleaved);
    const int height = heif_image_get_height(rawImage, heif_channel_interleaved);
    if (!pixelData || width <= 0 || height <= 0 || stride < 4 * width) {
        heif_image_release(rawImage);
        out.cause = QStringLiteral("non è un'immagine HEIC valida");
        return out;
    }
    // libheif's pixels, not a copy of them: the picture is released with the last QImage that
    // shares it.
    out.image = QImage(
        pixelData, width, height, stride, QImage::Format_RGBX8888,
        [](void *image) { heif_image_release(static_cast<heif_image *>(image)); }, rawImage);
    return out;
}
