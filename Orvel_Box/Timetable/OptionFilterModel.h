#pragma once
#include "option.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// One picker list, filled by a screen model and shown by the pickers bound to it. Replacing the
// entries is the only change; each replacement signals `changed` once.
class OptionList : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Filled by the screen models")
    Q_PROPERTY(int count READ count NOTIFY changed)
  public:
    using QObject::QObject;

    const QList<option>& items() const { return m_items; }
    void setItems(QList<option> items);
    int count() const { return int(m_items.size()); }
    // The names as the search compares them, lower-cased once per list rather than per key.
    const QString& lowered(int row) const { return m_lowered[row]; }
    // Row of the first option with this id, -1 when none has it.
    int rowOfId(int id) const { return m_rowOfId.value(id, -1); }
    // Id of the first option with exactly this name, -1 when none has it.
    int idOfName(const QString& name) const;
    // Name of the option with this id. The no-choice entry names nothing, so it gives empty
    // text like an id no option has: "Не выбрано" is a label, never a stored value.
    QString nameOfId(int id) const;

  signals:
    void changed();

  private:
    QList<option> m_items;
    QStringList m_lowered;
    QHash<int, int> m_rowOfId;
};

// The rows a picker lists: the options whose lower-cased name contains the lower-cased search
// text, in list order. A new search text removes and inserts only the rows that differ, so the
// rows that stay keep their delegates. Also answers which option `selectedID` stands for.
class OptionFilterModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(OptionList* options READ options WRITE setOptions NOTIFY optionsChanged)
    Q_PROPERTY(QString search READ search WRITE setSearch NOTIFY searchChanged)
    Q_PROPERTY(int selectedID READ selectedID WRITE setSelectedID NOTIFY selectedIDChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The option carrying `selectedID` in the whole list, whatever the search.
    Q_PROPERTY(option current READ current NOTIFY selectionChanged)
    Q_PROPERTY(bool hasCurrent READ hasCurrent NOTIFY selectionChanged)
    // Where that option is listed now, -1 when the search hides it or no option carries the id.
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectionChanged)
  public:
    enum Role { OptionIdRole = Qt::UserRole + 1, NameRole, OptionRole };

    using QAbstractListModel::QAbstractListModel;

    // The listing rule on texts already lower-cased (Unicode default mapping, nothing else):
    // plain containment, so blanks in the search count like any other character.
    static bool matches(const QString& loweredName, const QString& loweredSearch) {
        return loweredName.contains(loweredSearch);
    }

    OptionList* options() const { return m_options; }
    void setOptions(OptionList* options);
    QString search() const { return m_search; }
    void setSearch(const QString& search);
    int selectedID() const { return m_selectedID; }
    void setSelectedID(int id);

    int count() const { return rowCount(); }
    option current() const;
    bool hasCurrent() const;
    int selectedRow() const;
    // The id listed in `row`; -1 for a row that is not listed.
    Q_INVOKABLE int idAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

  signals:
    void optionsChanged();
    void searchChanged();
    void selectedIDChanged();
    void countChanged();
    void selectionChanged();

  private:
    void rebuild();
    void refilter();
    QList<int> matchingRows() const;
    int sourceRow(int row) const;

    QPointer<OptionList> m_options;
    QString m_search;
    QString m_loweredSearch;
    int m_selectedID = -1;
    // Listed source rows, ascending. While a refilter runs, the rows already settled are in
    // m_rows and the old rows still to be examined follow from m_pending[m_pendingFrom], so
    // every signal sees a model consistent with the change it announces.
    QList<int> m_rows;
    QList<int> m_pending;
    qsizetype m_pendingFrom = 0;
};
