#pragma once
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QRandomGenerator>

// Turns well-formed service answers into damaged ones: byte edits, spliced JSON tokens, and
// structural edits that swap values for values of other kinds.
class Mutator {
  public:
    explicit Mutator(quint32 seed) : m_rng(seed) {}
    QByteArray mutate(const QList<QByteArray>& corpus) {
        const QByteArray base = corpus.at(int(m_rng.bounded(quint32(corpus.size()))));
        if (m_rng.bounded(2) == 0) {
            const QJsonDocument doc = QJsonDocument::fromJson(base);
            const QJsonValue root =
                doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object());
            const QJsonValue out = structural(root, 0);
            if (out.isObject())
                return QJsonDocument(out.toObject()).toJson(QJsonDocument::Compact);
            if (out.isArray())
                return QJsonDocument(out.toArray()).toJson(QJsonDocument::Compact);
        }
        return byteEdit(base);
    }

  private:
    // clang-format off
    static constexpr const char* tokens[] = {
        "{", "}", "[", "]", "\"", ":", ",", "null", "true", "false", "-", "1e999", "-0", "0.5",
        "\\u0000", "\\ud800", "\xff", "\xc3", "9223372036854775808",
        "\"time\":\"08:30 - 09:50\"", "\"error\":", "\"access_token\":"};
    // clang-format on

    QByteArray byteEdit(QByteArray data) {
        const int edits = 1 + int(m_rng.bounded(4));
        for (int i = 0; i < edits; ++i) {
            const int pos = data.isEmpty() ? 0 : int(m_rng.bounded(quint32(data.size())));
            switch (m_rng.bounded(5)) {
            case 0:
                if (!data.isEmpty())
                    data[pos] = char(data[pos] ^ (1 << m_rng.bounded(8)));
                break;
            case 1:
                data.insert(pos, tokens[m_rng.bounded(quint32(std::size(tokens)))]);
                break;
            case 2:
                data.remove(pos, 1 + int(m_rng.bounded(8)));
                break;
            case 3:
                data.insert(pos, data.mid(int(m_rng.bounded(quint32(data.size() + 1))), 16));
                break;
            default:
                data.truncate(pos);
                break;
            }
        }
        return data;
    }

    QJsonValue randomValue(int depth) {
        switch (m_rng.bounded(depth > 2 ? 5 : 7)) {
        case 0:
            return QJsonValue::Null;
        case 1:
            return bool(m_rng.bounded(2));
        case 2:
            return double(qint64(m_rng.generate64())) / double(1 + m_rng.bounded(1000));
        case 3:
            return QString::fromUtf8("Тест «08:30-09:50» \u0001").left(int(m_rng.bounded(20)));
        case 4:
            return double(m_rng.bounded(3)) - 1;
        case 5:
            return QJsonArray{randomValue(depth + 1), randomValue(depth + 1)};
        default:
            return QJsonObject{{QStringLiteral("key"), randomValue(depth + 1)}};
        }
    }

    QJsonValue structural(const QJsonValue& v, int depth) {
        if (m_rng.bounded(8) == 0)
            return randomValue(depth);
        if (v.isObject()) {
            QJsonObject o = v.toObject();
            for (auto it = o.begin(); it != o.end(); ++it)
                if (m_rng.bounded(3) == 0)
                    it.value() = structural(it.value(), depth + 1);
            if (!o.isEmpty() && m_rng.bounded(6) == 0)
                o.remove(o.keys().at(int(m_rng.bounded(quint32(o.size())))));
            return o;
        }
        if (v.isArray()) {
            QJsonArray a = v.toArray();
            for (qsizetype i = 0; i < a.size(); ++i)
                if (m_rng.bounded(4) == 0)
                    a[i] = structural(a.at(i), depth + 1);
            if (m_rng.bounded(6) == 0)
                a.append(randomValue(depth + 1));
            return a;
        }
        return v;
    }

    QRandomGenerator m_rng;
};
