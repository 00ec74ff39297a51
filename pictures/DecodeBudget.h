#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>

// The memory that all picture decodes running at once may take together. A decode reserves what
// its picture's header says it needs before it allocates anything; one that does not fit waits
// until the running decodes give memory back, so a few large photos read ahead at once never add
// up to more than the machine can spare. Only a picture that alone needs more than the whole
// budget is refused.
//
// The standard mutex and condition variable are used, as in the picture cache, so that the thread
// sanitizer sees the waits.
class DecodeBudget {
public:
    static constexpr qint64 MiB = 1024 * 1024;

    explicit DecodeBudget(qint64 totalBytes);
    DecodeBudget(const DecodeBudget &) = delete;
    DecodeBudget &operator=(const DecodeBudget &) = delete;

    // The program's budget, sized from the machine's memory on first use.
    static DecodeBudget &shared();
    // A quarter of physicalBytes, between 512 MiB and 2 GiB: a quarter leaves the desktop and the
    // other programs their share; 512 MiB still shows a 48-megapixel progressive photo (about
    // 300 MB) on a small machine, and 2 GiB holds the largest JPEG the pixel limit lets through.
    static qint64 sizedFor(qint64 physicalBytes);

    // Memory held by one decode, given back when it ends.
    class Reservation {
    public:
        Reservation() = default;
        Reservation(Reservation &&other) noexcept;
        Reservation &operator=(Reservation &&other) noexcept;
        ~Reservation();
        bool ok() const { return m_budget != nullptr; }
        qint64 bytes() const { return m_bytes; }

    private:
        friend class DecodeBudget;
        Reservation(DecodeBudget *budget, qint64 bytes) : m_budget(budget), m_bytes(bytes) {}
        DecodeBudget *m_budget = nullptr;
        qint64 m_bytes = 0;
    };

    // Waits until bytes fit beside the reservations held, then holds them. Bytes beyond the
    // whole budget are refused at once: the reservation is not ok().
    Reservation reserve(qint64 bytes);

    qint64 total() const { return m_total; }
    // Figures for tests and the benchmark.
    int waiting() const;
    qint64 peakReserved() const;

private:
    void release(qint64 bytes);

    const qint64 m_total;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    qint64 m_reserved = 0;
    qint64 m_peak = 0;
    int m_waiting = 0;
};
