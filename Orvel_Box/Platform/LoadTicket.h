#pragma once
#include <QObject>
#include <QPointer>

class LoadTicket;

// The loads of one kind that an object starts. Starting a new one supersedes every earlier
// one, so "the last load started wins" holds whatever order the answers come back in. Keep it
// as a member of the object passed to start(): a ticket reads it only while that object lives.
class LoadTickets {
  public:
    LoadTicket start(QObject* owner);
    // Every load out is superseded, without starting a new one.
    void invalidate() { ++m_generation; }

  private:
    friend class LoadTicket;
    quint64 m_generation = 0;
};

// One load's claim on its owner. Check it after every await before touching the owner.
class LoadTicket {
  public:
    // The owner still exists (it may have started newer loads since).
    bool alive() const { return !m_owner.isNull(); }
    // The owner still exists and no newer load of the kind has started: this load may write.
    bool current() const { return alive() && m_tickets->m_generation == m_generation; }

  private:
    friend class LoadTickets;
    LoadTicket(QObject* owner, const LoadTickets* tickets)
        : m_owner(owner), m_tickets(tickets), m_generation(tickets->m_generation) {}

    QPointer<QObject> m_owner;
    const LoadTickets* m_tickets;
    quint64 m_generation;
};

inline LoadTicket LoadTickets::start(QObject* owner) {
    ++m_generation;
    return LoadTicket(owner, this);
}
