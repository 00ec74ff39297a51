#include "editor/HeicPicture.h"

#include <libheif/heif.h>

#include <memory>

namespace {

// Beyond any phone's sensor: such a header is broken or made up, and is refused before decoding.
constexpr qint64 MaxHeicPixels = 200'000'000;

QString failed(const heif_error &error)
{
    return QStringLiteral("non è un'immagine HEIC valida (%1)")
        .arg(QString::fromUtf8(error.message));
}

} // namespace

bool isHeic(const QByteArray &data)
{
    return heif_check_filetype(reinterpret_cast<const uint8_t *>(data.constData()),
                               int(qMin<qsizetype>(data.size(), 64)))
           != heif_filetype_no;
}

HeicImage decodeHeic(const QByteArray &data, int smallest)
{
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                                  size_t(data.size()), nullptr);
    if (error.code != heif_error_Ok)
        return {{}, failed(error)};
    heif_image_handle *rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    if (error.code != heif_error_Ok)
        return {{}, failed(error)};
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
    if (qint64(heif_image_handle_get_width(rawHandle)) * heif_image_handle_get_height(rawHandle)
        > MaxHeicPixels)
        return {{}, QStringLiteral("l'immagine è troppo grande")};
    heif_image *rawImage = nullptr;
    error = heif_decode_image(rawHandle, &rawImage, heif_colorspace_RGB,
                              heif_chroma_interleaved_RGB, nullptr);
    if (error.code != heif_error_Ok)
        return {{}, failed(error)};
    std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);
    int stride = 0;
    const uint8_t *pixels =
        heif_image_get_plane_readonly(rawImage, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(rawImage, heif_channel_interleaved);
    const int height = heif_image_get_height(rawImage, heif_channel_interleaved);
    if (!pixels || width <= 0 || height <= 0)
        return {{}, QStringLiteral("non è un'immagine HEIC valida")};
    // A deep copy: the pixels belong to libheif's image, released on return.
    return {QImage(pixels, width, height, stride, QImage::Format_RGB888).copy(), {}};
}
