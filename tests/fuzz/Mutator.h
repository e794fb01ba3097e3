#pragma once
#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QRandomGenerator>

// Turns well-formed service answers into damaged ones: byte edits, spliced JSON tokens, and
// structural edits that swap values for values of other kinds.
class Mutator {
public:
    explicit Mutator(quint32 seed) : m_rng(seed) {}
    QByteArray mutate(const QList<QByteArray>& corpus);

private:
    QByteArray byteEdit(QByteArray data);
    QJsonValue structural(const QJsonValue& v, int depth);
    QJsonValue randomValue(int depth);
    QRandomGenerator m_rng;
};
