#pragma once
// The endpoint registry: the one owning list of endpoint records, in order of
// registration. Removing a record destroys it.

#include <memory>
#include <vector>

class TMySocket;

class EndpointRegistry
{
public:
    EndpointRegistry();
    ~EndpointRegistry();

    void Register(std::unique_ptr<TMySocket> record);
    // Destroys the record if registered; returns whether it was.
    bool Remove(TMySocket *record);
    bool contains(const TMySocket *record) const;
    int count() const { return int(m_records.size()); }
    TMySocket *at(int index) const { return m_records.at(size_t(index)).get(); }
    void clear();

private:
    std::vector<std::unique_ptr<TMySocket>> m_records;
};
