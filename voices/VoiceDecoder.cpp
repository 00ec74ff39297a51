#include "voices/VoiceDecoder.h"

#include "core/SafeFile.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <QElapsedTimer>

#include <atomic>
#include <memory>
#include <mutex>

// Voices are decoded with GStreamer itself, the library under Qt Multimedia's QAudioDecoder, not
// through QAudioDecoder. On Debian 12 (Qt 6.4) QAudioDecoder fed from memory never ends, with
// neither an error nor `finished`, on an M4A cut short (a voice memo whose copy was interrupted):
// it lets the MP4 reader seek past the end of the bytes and wait there. Its errors are GStreamer's
// messages as translated text, so a missing plugin cannot be told from a damaged file. Here the
// bytes go in as one stream that cannot seek, which every reader finishes or refuses at its end;
// errors come with GStreamer's codes; a missing plugin comes with the format it was needed for;
// and the caller's thread needs no event loop.

QAudioFormat VoiceFormat::audioFormat()
{
    QAudioFormat format;
    format.setSampleRate(SampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

namespace {

const QString NotSound = QStringLiteral("non è un file audio");
const QString Damaged = QStringLiteral("il file audio è danneggiato o incompleto");
const QString Base = QStringLiteral("gstreamer1.0-plugins-base");
const QString Good = QStringLiteral("gstreamer1.0-plugins-good");

template <class T, auto Free>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;
using Element = Owned<GstElement, gst_object_unref>;
using Message = Owned<GstMessage, gst_message_unref>;
using Sample = Owned<GstSample, gst_sample_unref>;
using Caps = Owned<GstCaps, gst_caps_unref>;
using Error = Owned<GError, g_error_free>;

bool gstreamerReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = gst_init_check(nullptr, nullptr, nullptr); });
    return ready;
}

// A format GStreamer reported it has no plugin for, as the teacher knows it, and the Debian
// package that reads it.
QString missingFormat(const GstStructure *missing)
{
    const GValue *detail = gst_structure_get_value(missing, "detail");
    const GstCaps *caps =
        detail && GST_VALUE_HOLDS_CAPS(detail) ? gst_value_get_caps(detail) : nullptr;
    const GstStructure *s =
        caps && !gst_caps_is_empty(caps) ? gst_caps_get_structure(caps, 0) : nullptr;
    const QByteArray type = s ? gst_structure_get_name(s) : "";
    int mpegVersion = 0;
    if (s)
        gst_structure_get_int(s, "mpegversion", &mpegVersion);
    const auto needs = [](const char *format, const QString &package) {
        return QStringLiteral("formato audio non supportato: per %1 serve il pacchetto %2")
            .arg(QLatin1String(format), package);
    };
    if (type == "audio/mpeg" && mpegVersion == 1)
        return needs("MP3", Good);
    if (type == "audio/mpeg")
        return needs("M4A (AAC)", QStringLiteral("gstreamer1.0-libav"));
    if (type == "audio/x-vorbis")
        return needs("Ogg Vorbis", Base);
    if (type == "audio/x-opus")
        return needs("Ogg Opus", Base);
    if (type == "application/ogg" || type == "audio/ogg")
        return needs("Ogg", Base);
    if (type == "audio/x-wav")
        return needs("WAV", Good);
    if (type == "video/quicktime" || type == "audio/x-m4a")
        return needs("M4A", Good);
    if (type.startsWith("application/x-id3"))
        return needs("MP3", Good);
    // Pictures and films: GStreamer looks for a way from their frames to sound.
    if (!type.startsWith("audio/"))
        return NotSound;
    const char *name = gst_structure_get_string(missing, "name");
    return QStringLiteral("formato audio non supportato (%1)")
        .arg(QString::fromUtf8(name ? name : type.constData()));
}

// What an error GStreamer reported says about the file.
QString causeOf(const GError *error, const QString &missing)
{
    if (!missing.isEmpty())
        return missing;
    if (error->domain == GST_STREAM_ERROR
        && (error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND
            || error->code == GST_STREAM_ERROR_WRONG_TYPE))
        return NotSound;
    if ((error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN)
        || (error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND))
        return QStringLiteral("formato audio non supportato");
    return Damaged;
}

struct Decoding {
    GstElement *convert = nullptr;
    std::atomic<bool> audio{false}; // a stream of sound was found and linked
};

// decodebin shows one pad per stream it decoded; the first one of sound is the voice, and any
// other (a video's pictures, a second track) stays unlinked.
void onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *decoding = static_cast<Decoding *>(data);
    const Caps caps(gst_pad_get_current_caps(pad));
    const GstStructure *s = caps ? gst_caps_get_structure(caps.get(), 0) : nullptr;
    if (!s || !gst_structure_has_name(s, "audio/x-raw") || decoding->audio)
        return;
    GstPad *sink = gst_element_get_static_pad(decoding->convert, "sink");
    if (gst_pad_link(pad, sink) == GST_PAD_LINK_OK)
        decoding->audio = true;
    gst_object_unref(sink);
}

} // namespace

Voice decodeVoiceData(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {{}, QStringLiteral("il file è vuoto")};
    const QString noBase =
        QStringLiteral("impossibile leggere i suoni: manca il pacchetto %1").arg(Base);
    if (!gstreamerReady())
        return {{}, noBase};

    Element pipeline(gst_pipeline_new(nullptr));
    GstElement *source = gst_element_factory_make("appsrc", nullptr);
    GstElement *decode = gst_element_factory_make("decodebin", nullptr);
    GstElement *convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement *resample = gst_element_factory_make("audioresample", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    if (!source || !decode || !convert || !resample || !sink) {
        for (GstElement *e : {source, decode, convert, resample, sink})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return {{}, noBase};
    }
    gst_bin_add_many(GST_BIN(pipeline.get()), source, decode, convert, resample, sink, nullptr);

    // One stream of bytes that cannot seek, ended where the bytes end.
    g_object_set(source, "stream-type", GST_APP_STREAM_TYPE_STREAM, "format", GST_FORMAT_BYTES,
                 nullptr);
    const Caps audioOnly(gst_caps_from_string("audio/x-raw"));
    g_object_set(decode, "caps", audioOnly.get(), nullptr);
    const char *layout = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "S16LE" : "S16BE";
    const Caps want(gst_caps_new_simple(
        "audio/x-raw", "format", G_TYPE_STRING, layout, "layout", G_TYPE_STRING, "interleaved",
        "rate", G_TYPE_INT, VoiceFormat::SampleRate, "channels", G_TYPE_INT, 1, nullptr));
    // A few buffers at most wait in the sink: the decoder waits for them to be taken, so stopping
    // at the length limit also stops the decoding.
    g_object_set(sink, "caps", want.get(), "sync", FALSE, "max-buffers", 4u, nullptr);
    Decoding decoding;
    decoding.convert = convert;
    g_signal_connect(decode, "pad-added", G_CALLBACK(onPadAdded), &decoding);
    if (!gst_element_link(source, decode)
        || !gst_element_link_many(convert, resample, sink, nullptr))
        return {{}, noBase};

    auto *held = new QByteArray(bytes); // shares the data; freed with the buffer
    GstBuffer *buffer = gst_buffer_new_wrapped_full(
        GST_MEMORY_FLAG_READONLY, const_cast<char *>(held->constData()), gsize(held->size()), 0,
        gsize(held->size()), held, [](gpointer p) { delete static_cast<QByteArray *>(p); });
    gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
    gst_app_src_end_of_stream(GST_APP_SRC(source));

    Voice voice;
    QString missing;
    const qint64 maxBytes = qint64(VoiceLimits::MaxSeconds) * VoiceFormat::BytesPerSecond;
    Owned<GstBus, gst_object_unref> bus(gst_element_get_bus(pipeline.get()));
    QElapsedTimer clock, quiet; // since the start, since the last sound
    clock.start();
    quiet.start();
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    for (;;) {
        if (const Sample sample{
                gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_MSECOND)}) {
            GstMapInfo map;
            GstBuffer *b = gst_sample_get_buffer(sample.get());
            if (b && gst_buffer_map(b, &map, GST_MAP_READ)) {
                voice.pcm.append(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
                gst_buffer_unmap(b, &map);
            }
            quiet.restart();
            if (voice.pcm.size() > maxBytes) {
                voice.cause = QStringLiteral("la voce è troppo lunga (più di %1 secondi)")
                                  .arg(VoiceLimits::MaxSeconds);
                break;
            }
            continue;
        }
        if (gst_app_sink_is_eos(GST_APP_SINK(sink)))
            break;
        while (const Message m{gst_bus_pop(bus.get())}) {
            if (GST_MESSAGE_TYPE(m.get()) == GST_MESSAGE_ELEMENT
                && gst_structure_has_name(gst_message_get_structure(m.get()), "missing-plugin")
                && (missing.isEmpty() || missing == NotSound)) // a film's sound before its frames
                missing = missingFormat(gst_message_get_structure(m.get()));
            if (GST_MESSAGE_TYPE(m.get()) == GST_MESSAGE_ERROR) {
                GError *raw = nullptr;
                gst_message_parse_error(m.get(), &raw, nullptr);
                const Error error(raw);
                voice.cause = causeOf(raw, missing);
                // Nothing of sound in a file GStreamer read through: a picture, a video.
                if (voice.cause == Damaged && !decoding.audio && error->domain == GST_STREAM_ERROR
                    && error->code == GST_STREAM_ERROR_FAILED)
                    voice.cause = NotSound;
                break;
            }
        }
        if (!voice.ok())
            break;
        // Some damaged MP4 indexes leave GStreamer's reader waiting for data after the end of the
        // bytes, with neither sound nor an error; a readable file gives sound every few
        // milliseconds.
        if (quiet.elapsed() > VoiceLimits::StallMs) {
            voice.cause = Damaged;
            break;
        }
        if (clock.elapsed() > VoiceLimits::TimeoutMs) {
            voice.cause = QStringLiteral("la lettura del file audio non è finita in %1 secondi")
                              .arg(VoiceLimits::TimeoutMs / 1000);
            break;
        }
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (voice.ok() && voice.pcm.isEmpty())
        voice.cause =
            decoding.audio ? QStringLiteral("il file audio non contiene suoni") : NotSound;
    if (!voice.ok())
        voice.pcm.clear();
    voice.pcm.squeeze();
    return voice;
}

Voice decodeVoiceFile(const QString &path)
{
    FileContents file = readRegularFile(path, VoiceLimits::MaxFileBytes);
    if (!file.ok())
        return {{}, file.cause};
    return decodeVoiceData(file.data);
}
