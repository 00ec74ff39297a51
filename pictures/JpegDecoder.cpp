#include "pictures/JpegDecoder.h"

#include <QIODevice>

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// One libjpeg decompressor. The library reports a fatal error by longjmp back into run(), so the
// steps it runs are plain functions without C++ objects of their own: nothing with a destructor
// is skipped by the jump. Everything they touch lives in this object, outside the jumped frames.
struct Session {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
    bool truncated = false;
    bool tooManyScans = false;

    // For the steps.
    const QByteArray *data = nullptr;
    QIODevice *device = nullptr;
    int eighths = 8;
    qint64 maxMemory = 0;
    QImage *image = nullptr;

    Session()
    {
        cinfo.err = jpeg_std_error(&errors);
        errors.error_exit = errorExit;
        errors.emit_message = emitMessage;
        errors.output_message = [](j_common_ptr) {};
        progress.progress_monitor = countScans;
        cinfo.client_data = this;
    }
    ~Session() { jpeg_destroy_decompress(&cinfo); }
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    static Session &of(j_common_ptr c) { return *static_cast<Session *>(c->client_data); }

    [[noreturn]] static void errorExit(j_common_ptr c)
    {
        (*c->err->format_message)(c, of(c).message);
        std::longjmp(of(c).jump, 1);
    }
    // Warnings are kept quiet; the one that says the data ran out ends the decode at once, so a
    // file cut short is refused rather than shown with its missing part grey.
    static void emitMessage(j_common_ptr c, int level)
    {
        if (level >= 0)
            return;
        ++c->err->num_warnings;
        if (c->err->msg_code == JWRN_JPEG_EOF) {
            of(c).truncated = true;
            std::longjmp(of(c).jump, 1);
        }
    }
    static void countScans(j_common_ptr c)
    {
        if (reinterpret_cast<j_decompress_ptr>(c)->input_scan_number > MaxJpegScans) {
            of(c).tooManyScans = true;
            std::longjmp(of(c).jump, 1);
        }
    }

    // Runs step with the library's errors caught: false when it gave up.
    bool run(void (*step)(Session &))
    {
        if (setjmp(jump) != 0)
            return false;
        step(*this);
        return true;
    }
};

// libjpeg reads a device through a source manager of its own kind; this one reads in small
// chunks, so a header costs a few kilobytes of reading whatever the file's size.
struct DeviceSource {
    jpeg_source_mgr pub{};
    QIODevice *device = nullptr;
    JOCTET buffer[4096];

    static DeviceSource &of(j_decompress_ptr c)
    {
        return *reinterpret_cast<DeviceSource *>(c->src);
    }
    static boolean fill(j_decompress_ptr c)
    {
        DeviceSource &s = of(c);
        qint64 n = s.device->read(reinterpret_cast<char *>(s.buffer), sizeof s.buffer);
        if (n <= 0) {
            // As the library's own sources do: a warning, and an end-of-image marker in place.
            WARNMS(c, JWRN_JPEG_EOF);
            s.buffer[0] = 0xFF;
            s.buffer[1] = JPEG_EOI;
            n = 2;
        }
        s.pub.next_input_byte = s.buffer;
        s.pub.bytes_in_buffer = size_t(n);
        return TRUE;
    }
    static void skip(j_decompress_ptr c, long count)
    {
        DeviceSource &s = of(c);
        if (count <= 0)
            return;
        if (size_t(count) <= s.pub.bytes_in_buffer) {
            s.pub.next_input_byte += count;
            s.pub.bytes_in_buffer -= size_t(count);
            return;
        }
        s.device->skip(count - qint64(s.pub.bytes_in_buffer));
        s.pub.bytes_in_buffer = 0;
    }
};

qint64 roundUp(qint64 value, qint64 step) { return (value + step - 1) / step * step; }

void readHeader(Session &s)
{
    jpeg_create_decompress(&s.cinfo);
    if (s.device) {
        // In the library's pool, freed with the decompressor.
        auto *source =
            new ((*s.cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&s.cinfo),
                                             JPOOL_PERMANENT, sizeof(DeviceSource))) DeviceSource;
        source->pub.init_source = [](j_decompress_ptr) {};
        source->pub.fill_input_buffer = DeviceSource::fill;
        source->pub.skip_input_data = DeviceSource::skip;
        source->pub.resync_to_restart = jpeg_resync_to_restart;
        source->pub.term_source = [](j_decompress_ptr) {};
        source->pub.bytes_in_buffer = 0;
        source->pub.next_input_byte = nullptr;
        source->device = s.device;
        s.cinfo.src = &source->pub;
    } else {
        jpeg_mem_src(&s.cinfo, reinterpret_cast<const unsigned char *>(s.data->constData()),
                     static_cast<unsigned long>(s.data->size()));
    }
    s.cinfo.progress = &s.progress;
    jpeg_read_header(&s.cinfo, TRUE);
}

bool isCmyk(const jpeg_decompress_struct &c)
{
    return c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
}

void prepareOutput(Session &s)
{
    jpeg_decompress_struct &c = s.cinfo;
    c.scale_num = unsigned(s.eighths);
    c.scale_denom = 8;
    if (c.jpeg_color_space == JCS_GRAYSCALE)
        c.out_color_space = JCS_GRAYSCALE;
    else if (isCmyk(c))
        c.out_color_space = JCS_CMYK;
    else // straight into QImage's RGB32 layout
        c.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    // A safety net under the budget's reservation, which counts the image-sized buffers: the
    // library fails rather than take more. Its tables and row buffers come on top.
    c.mem->max_memory_to_use = long(s.maxMemory + 16 * 1024 * 1024);
    jpeg_calc_output_dimensions(&c);
}

void decodeRows(Session &s)
{
    jpeg_decompress_struct &c = s.cinfo;
    jpeg_start_decompress(&c);
    JSAMPARRAY cmykRow = isCmyk(c) ? (*c.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c),
                                                            JPOOL_IMAGE, c.output_width * 4, 1)
                                   : nullptr;
    while (c.output_scanline < c.output_height) {
        uchar *line = s.image->scanLine(int(c.output_scanline));
        JSAMPROW row = cmykRow ? cmykRow[0] : line;
        jpeg_read_scanlines(&c, &row, 1);
        if (cmykRow) {
            // Stored inverted, as Adobe's programs write CMYK JPEGs and Qt's reader assumes.
            auto *out = reinterpret_cast<QRgb *>(line);
            const JSAMPLE *in = cmykRow[0];
            for (JDIMENSION x = 0; x < c.output_width; ++x, in += 4) {
                const int k = in[3];
                out[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
            }
        }
    }
    // Reads on to the end-of-image marker: a file that stops after the image data, among segments
    // that follow it, is cut too.
    jpeg_finish_decompress(&c);
}

} // namespace

QString jpegTruncatedCause()
{
    return QStringLiteral("l'immagine è incompleta (il file è troncato)");
}

JpegHeader readJpegHeader(QIODevice &device)
{
    JpegHeader out;
    Session s;
    s.device = &device;
    if (!s.run(readHeader))
        return out;
    const jpeg_decompress_struct &c = s.cinfo;
    out.ok = true;
    out.size = QSize(int(c.image_width), int(c.image_height));
    out.components = c.num_components;
    out.progressive = c.progressive_mode;
    out.wholeImageBuffered = jpeg_has_multiple_scans(&s.cinfo);
    if (out.wholeImageBuffered) {
        // As the library sizes them: each component's blocks rounded up to whole sampling units.
        for (int i = 0; i < c.num_components; ++i) {
            const jpeg_component_info &comp = c.comp_info[i];
            out.coefficientBytes += roundUp(comp.width_in_blocks, comp.h_samp_factor)
                                    * roundUp(comp.height_in_blocks, comp.v_samp_factor)
                                    * qint64(sizeof(JBLOCK));
        }
    }
    return out;
}

JpegImage decodeJpeg(const QByteArray &data, int eighths, qint64 maxMemory)
{
    JpegImage out;
    QImage image;
    Session s;
    s.data = &data;
    s.eighths = qBound(1, eighths, 8);
    s.maxMemory = maxMemory;
    s.image = &image;
    const auto failed = [&] {
        if (s.truncated)
            return jpegTruncatedCause();
        if (s.tooManyScans)
            return QStringLiteral("non è un'immagine valida (JPEG progressivo con più di %1 "
                                  "scansioni)")
                .arg(MaxJpegScans);
        return QStringLiteral("non è un'immagine valida (%1)")
            .arg(QString::fromLocal8Bit(s.message));
    };
    if (!s.run(readHeader) || !s.run(prepareOutput)) {
        out.cause = failed();
        return out;
    }
    image = QImage(int(s.cinfo.output_width), int(s.cinfo.output_height),
                   s.cinfo.out_color_space == JCS_GRAYSCALE ? QImage::Format_Grayscale8
                                                            : QImage::Format_RGB32);
    if (image.isNull()) {
        out.cause = QStringLiteral("non è un'immagine valida (manca la memoria per leggerla)");
        return out;
    }
    if (!s.run(decodeRows)) {
        out.cause = failed();
        return out;
    }
    out.image = std::move(image);
    return out;
}
