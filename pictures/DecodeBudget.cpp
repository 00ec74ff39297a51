#include "pictures/DecodeBudget.h"

#include <unistd.h>

#include <utility>

DecodeBudget::DecodeBudget(qint64 totalBytes) : m_total(totalBytes) {}

DecodeBudget &DecodeBudget::shared()
{
    static DecodeBudget budget(sizedFor(qint64(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE)));
    return budget;
}

qint64 DecodeBudget::sizedFor(qint64 physicalBytes)
{
    return qBound(512 * MiB, physicalBytes / 4, 2048 * MiB);
}

DecodeBudget::Reservation DecodeBudget::reserve(qint64 bytes)
{
    if (bytes > m_total)
        return {};
    std::unique_lock lock(m_mutex);
    if (m_reserved + bytes > m_total) {
        ++m_waiting;
        m_released.wait(lock, [&] { return m_reserved + bytes <= m_total; });
        --m_waiting;
    }
    m_reserved += bytes;
    m_peak = qMax(m_peak, m_reserved);
    return Reservation(this, bytes);
}

void DecodeBudget::release(qint64 bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_reserved -= bytes;
    }
    m_released.notify_all();
}

int DecodeBudget::waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

qint64 DecodeBudget::peakReserved() const
{
    std::lock_guard lock(m_mutex);
    return m_peak;
}

DecodeBudget::Reservation::Reservation(Reservation &&other) noexcept
    : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(std::exchange(other.m_bytes, 0))
{
}

DecodeBudget::Reservation &DecodeBudget::Reservation::operator=(Reservation &&other) noexcept
{
    if (this != &other) {
        if (m_budget)
            m_budget->release(m_bytes);
        m_budget = std::exchange(other.m_budget, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

DecodeBudget::Reservation::~Reservation()
{
    if (m_budget)
        m_budget->release(m_bytes);
}
