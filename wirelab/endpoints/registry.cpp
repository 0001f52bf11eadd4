#include "registry.h"

#include "tmysocket.h"

#include <algorithm>

EndpointRegistry::EndpointRegistry() = default;
EndpointRegistry::~EndpointRegistry() = default;

void EndpointRegistry::Register(std::unique_ptr<TMySocket> record)
{
    if (record)
        m_records.push_back(std::move(record));
}

bool EndpointRegistry::Remove(TMySocket *record)
{
    auto it = std::find_if(m_records.begin(), m_records.end(),
                           [record](const std::unique_ptr<TMySocket> &r) { return r.get() == record; });
    if (it == m_records.end())
        return false;
    // Take it out first: destroying a record may run code that walks the list.
    std::unique_ptr<TMySocket> doomed = std::move(*it);
    m_records.erase(it);
    return true;
}

bool EndpointRegistry::contains(const TMySocket *record) const
{
    return std::any_of(m_records.begin(), m_records.end(),
                       [record](const std::unique_ptr<TMySocket> &r) { return r.get() == record; });
}

void EndpointRegistry::clear()
{
    std::vector<std::unique_ptr<TMySocket>> doomed;
    doomed.swap(m_records);
}
