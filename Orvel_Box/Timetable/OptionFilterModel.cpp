#include "OptionFilterModel.h"

#include <algorithm>

void OptionList::setItems(QList<option> items) {
    if (items == m_items)
        return;
    m_items = std::move(items);
    m_lowered.clear();
    m_lowered.reserve(m_items.size());
    m_rowOfId.clear();
    m_rowOfId.reserve(m_items.size());
    for (int row = 0; row < m_items.size(); ++row) {
        m_lowered.append(m_items[row].name.toLower());
        // Ids repeat when the service repeats them; the first option with an id is the one meant.
        if (!m_rowOfId.contains(m_items[row].id))
            m_rowOfId.insert(m_items[row].id, row);
    }
    emit changed();
}

int OptionList::idOfName(const QString& name) const {
    for (const option& o : m_items)
        if (o.name == name)
            return o.id;
    return -1;
}

QString OptionList::nameOfId(int id) const {
    const int row = rowOfId(id);
    return id == -1 || row < 0 ? QString() : m_items[row].name;
}

void OptionFilterModel::setOptions(OptionList* options) {
    if (options == m_options)
        return;
    if (m_options)
        disconnect(m_options, nullptr, this, nullptr);
    m_options = options;
    if (m_options) {
        connect(m_options, &OptionList::changed, this, &OptionFilterModel::rebuild);
        connect(m_options, &QObject::destroyed, this, &OptionFilterModel::rebuild);
    }
    emit optionsChanged();
    rebuild();
}

void OptionFilterModel::setSearch(const QString& search) {
    if (search == m_search)
        return;
    m_search = search;
    m_loweredSearch = search.toLower();
    emit searchChanged();
    refilter();
}

void OptionFilterModel::setSelectedID(int id) {
    if (id == m_selectedID)
        return;
    m_selectedID = id;
    emit selectedIDChanged();
    emit selectionChanged();
}

option OptionFilterModel::current() const {
    const int row = m_options ? m_options->rowOfId(m_selectedID) : -1;
    return row < 0 ? option{} : m_options->items()[row];
}

bool OptionFilterModel::hasCurrent() const {
    return m_options && m_options->rowOfId(m_selectedID) >= 0;
}

int OptionFilterModel::selectedRow() const {
    const int source = m_options ? m_options->rowOfId(m_selectedID) : -1;
    const auto it = std::lower_bound(m_rows.cbegin(), m_rows.cend(), source);
    return source >= 0 && it != m_rows.cend() && *it == source ? int(it - m_rows.cbegin()) : -1;
}

int OptionFilterModel::idAt(int row) const {
    return row >= 0 && row < rowCount() ? m_options->items()[sourceRow(row)].id : -1;
}

int OptionFilterModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size() + m_pending.size() - m_pendingFrom);
}

int OptionFilterModel::sourceRow(int row) const {
    return row < m_rows.size() ? m_rows[row] : m_pending[m_pendingFrom + row - m_rows.size()];
}

QVariant OptionFilterModel::data(const QModelIndex& index, int role) const {
    if (!m_options || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const option& o = m_options->items()[sourceRow(index.row())];
    switch (role) {
    case OptionIdRole:
        return o.id;
    case Qt::DisplayRole:
    case NameRole:
        return o.name;
    case OptionRole:
        return QVariant::fromValue(o);
    default:
        return {};
    }
}

QHash<int, QByteArray> OptionFilterModel::roleNames() const {
    return {{OptionIdRole, "optionId"}, {NameRole, "name"}, {OptionRole, "entry"}};
}

QList<int> OptionFilterModel::matchingRows() const {
    QList<int> rows;
    if (!m_options)
        return rows;
    const int n = m_options->count();
    rows.reserve(n);
    for (int row = 0; row < n; ++row)
        if (matches(m_options->lowered(row), m_loweredSearch))
            rows.append(row);
    return rows;
}

// A new list: every row is new, so the views start over.
void OptionFilterModel::rebuild() {
    beginResetModel();
    m_rows = matchingRows();
    endResetModel();
    emit countChanged();
    emit selectionChanged();
}

// Both the listed rows and the wanted rows ascend, so one walk over both finds the runs to
// remove and to insert; each run is one signal and rows listed before and after stay put.
//
// A list view pays for every run it is told of (Qt Quick merges each into its pending changes,
// which grows with their number), so after `maxRuns` runs the rest of the list is announced
// as one replacement. The rows that stay keep their delegates through those first runs, which
// reach past every row a view shows from the top, where the sheet puts a new search.
void OptionFilterModel::refilter() {
    constexpr int maxRuns = 256;
    const QList<int> wanted = matchingRows();
    // Not QList::operator==: Qt 6.4 hands memcmp a null pointer for two empty lists.
    if (std::ranges::equal(wanted, m_rows))
        return;
    m_pending = std::exchange(m_rows, {});
    m_pendingFrom = 0;
    m_rows.reserve(wanted.size());
    qsizetype next = 0;
    const auto pendingLeft = [&] { return m_pendingFrom < m_pending.size(); };
    const auto removeUpTo = [&](qsizetype end) {
        const int at = int(m_rows.size());
        beginRemoveRows({}, at, at + int(end - m_pendingFrom) - 1);
        m_pendingFrom = end;
        endRemoveRows();
    };
    const auto insertUpTo = [&](qsizetype end) {
        const int at = int(m_rows.size());
        beginInsertRows({}, at, at + int(end - next) - 1);
        m_rows.append(wanted.sliced(next, end - next));
        next = end;
        endInsertRows();
    };
    for (int runs = 0; pendingLeft() || next < wanted.size(); ++runs) {
        if (runs == maxRuns) {
            if (pendingLeft())
                removeUpTo(m_pending.size());
            if (next < wanted.size())
                insertUpTo(wanted.size());
            break;
        }
        while (pendingLeft() && next < wanted.size() && m_pending[m_pendingFrom] == wanted[next]) {
            m_rows.append(wanted[next++]);
            ++m_pendingFrom;
        }
        qsizetype end = m_pendingFrom;
        while (end < m_pending.size() && (next == wanted.size() || m_pending[end] < wanted[next]))
            ++end;
        if (end > m_pendingFrom) {
            removeUpTo(end);
            continue;
        }
        end = next;
        while (end < wanted.size() && (!pendingLeft() || wanted[end] < m_pending[m_pendingFrom]))
            ++end;
        if (end > next)
            insertUpTo(end);
    }
    m_pending.clear();
    m_pendingFrom = 0;
    emit countChanged();
    emit selectionChanged();
}
