#pragma once
#include <QAbstractListModel>
#include <QList>
#include <QMetaProperty>
#include <QSet>

#include <algorithm>

// The part of every record list that moc can see: a class template cannot carry signals.
class RecordListBase : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY changed)
  public:
    // The whole record; each of the record's own properties follows as a role of its name.
    static constexpr int RecordRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;
    int count() const { return rowCount(); }

  signals:
    // The rows or what they hold changed; once per replacement that changed anything.
    void changed();
};

// A list of records (gadgets with an `id`) as QML lists them. A replacement keeps every row
// whose id is still listed: it removes the rows that went, moves the rows that changed place,
// inserts the new ones and refreshes rows whose record changed, so a view keeps the delegates
// (and whatever state they hold) of the records it already shows. A list with no id in common
// with the shown one replaces it whole.
template <class T> class RecordListModel : public RecordListBase {
  public:
    using RecordListBase::RecordListBase;

    const QList<T>& items() const { return m_items; }

    void setItems(QList<T> items) {
        bool touched = false;
        QSet<decltype(T::id)> wanted;
        for (const T& item : std::as_const(items))
            wanted.insert(item.id);
        // Nothing stays: one reset, which views also refill at once instead of at their next
        // layout, as they do for inserted rows.
        if (std::none_of(m_items.cbegin(), m_items.cend(),
                         [&](const T& item) { return wanted.contains(item.id); })) {
            if (m_items.isEmpty() && items.isEmpty())
                return;
            beginResetModel();
            m_items = std::move(items);
            endResetModel();
            emit changed();
            return;
        }
        for (qsizetype row = m_items.size() - 1; row >= 0; --row) {
            if (wanted.contains(m_items[row].id))
                continue;
            qsizetype first = row;
            while (first > 0 && !wanted.contains(m_items[first - 1].id))
                --first;
            beginRemoveRows({}, int(first), int(row));
            m_items.remove(first, row - first + 1);
            endRemoveRows();
            touched = true;
            row = first;
        }
        for (qsizetype row = 0; row < items.size(); ++row) {
            qsizetype from = row;
            while (from < m_items.size() && m_items[from].id != items[row].id)
                ++from;
            if (from == m_items.size()) {
                beginInsertRows({}, int(row), int(row));
                m_items.insert(row, std::move(items[row]));
                endInsertRows();
                touched = true;
                continue;
            }
            if (from != row) {
                beginMoveRows({}, int(from), int(from), {}, int(row));
                m_items.move(from, row);
                endMoveRows();
                touched = true;
            }
            if (!(m_items[row] == items[row])) {
                m_items[row] = std::move(items[row]);
                emit dataChanged(index(int(row)), index(int(row)));
                touched = true;
            }
        }
        // What is left over repeats an id listed earlier.
        if (m_items.size() > items.size()) {
            beginRemoveRows({}, int(items.size()), int(m_items.size() - 1));
            m_items.resize(items.size());
            endRemoveRows();
            touched = true;
        }
        if (touched)
            emit changed();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_items.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return {};
        const T& item = m_items[index.row()];
        if (role == RecordRole)
            return QVariant::fromValue(item);
        const QMetaObject& meta = T::staticMetaObject;
        const int property = role - RecordRole - 1 + meta.propertyOffset();
        if (property < meta.propertyOffset() || property >= meta.propertyCount())
            return {};
        return meta.property(property).readOnGadget(&item);
    }

    QHash<int, QByteArray> roleNames() const override {
        QHash<int, QByteArray> names{{RecordRole, "record"}};
        const QMetaObject& meta = T::staticMetaObject;
        for (int p = meta.propertyOffset(); p < meta.propertyCount(); ++p)
            names.insert(RecordRole + 1 + p - meta.propertyOffset(), meta.property(p).name());
        return names;
    }

  private:
    QList<T> m_items;
};
