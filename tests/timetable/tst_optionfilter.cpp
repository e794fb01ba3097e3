// Which options a picker lists for a search text, and how the list model tells its views.
#include "OptionFilterModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {
QList<option> people() {
    return {option::none(),
            {0, QStringLiteral("Иванов И.И."), QStringLiteral("https://media.example/0_thumb.png")},
            {1, QStringLiteral("Петров П.П."), QStringLiteral("person.crop.circle.fill")},
            {2, QStringLiteral("иванова А.Б."), QStringLiteral("person.crop.circle.fill")},
            {3, QStringLiteral("Семёнов С.С."), {}},
            {4, QStringLiteral("Семенов Е.Е."), {}},
            {5, QStringLiteral("Ли Ан"), {}},
            {6, QStringLiteral("Лиана Ким"), {}},
            {7, QStringLiteral("Straße O.O."), {}}};
}

QStringList listedNames(const OptionFilterModel& m) {
    QStringList out;
    for (int row = 0; row < m.rowCount(); ++row)
        out.append(m.index(row).data(OptionFilterModel::NameRole).toString());
    return out;
}
} // namespace

class TestOptionFilter : public QObject {
    Q_OBJECT

  private slots:
    void listsMatchingNamesInOrder_data() {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("capitals find lower case")
            << "ИВАНОВ" << QStringList{"Иванов И.И.", "иванова А.Б."};
        QTest::newRow("ё is not е") << "семён" << QStringList{"Семёнов С.С."};
        QTest::newRow("trailing blank must match a blank") << "ли " << QStringList{"Ли Ан"};
        QTest::newRow("without the blank") << "ли" << QStringList{"Ли Ан", "Лиана Ким"};
        QTest::newRow("no folding beyond lower case") << "strasse" << QStringList{};
        QTest::newRow("the no-choice entry is searchable") << "выбр" << QStringList{"Не выбрано"};
        QTest::newRow("order of the list, not of the match")
            << "." << QStringList{"Иванов И.И.",  "Петров П.П.",  "иванова А.Б.",
                                  "Семёнов С.С.", "Семенов Е.Е.", "Straße O.O."};
    }
    void listsMatchingNamesInOrder() {
        QFETCH(QString, search);
        QFETCH(QStringList, names);
        OptionList list;
        list.setItems(people());
        OptionFilterModel model;
        model.setOptions(&list);
        model.setSearch(search);
        QCOMPARE(listedNames(model), names);
    }

    // Typing only removes and inserts rows: the rows that stay keep their place, never a reset.
    void searchChangesOnlyTheRowsThatDiffer_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("protectedRows");
        QTest::newRow("few changes: every staying row kept") << 400 << 400;
        QTest::newRow("thousands: the leading staying rows kept") << 3000 << 100;
    }
    void searchChangesOnlyTheRowsThatDiffer() {
        QFETCH(int, size);
        QFETCH(int, protectedRows);
        QList<option> many{option::none()};
        for (int i = 0; i < size; ++i)
            many.append({i, QStringLiteral("%1 %2").arg(i % 3 ? u"Иванов" : u"Петров").arg(i), {}});
        OptionList list;
        list.setItems(many);
        OptionFilterModel model;
        model.setOptions(&list);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        const QStringList searches{"и", "ив", "3", "1", "петров 1", "", "3", "zz", ""};
        for (const QString& search : searches) {
            QList<std::pair<QPersistentModelIndex, QString>> listed;
            for (int row = 0; row < model.rowCount(); ++row)
                listed.append(
                    {QPersistentModelIndex(model.index(row)), model.index(row).data().toString()});
            model.setSearch(search);
            QStringList expected;
            for (int row = 0; row < list.count(); ++row)
                if (list.lowered(row).contains(search.toLower()))
                    expected.append(list.items()[row].name);
            QCOMPARE(listedNames(model), expected);
            int staying = 0;
            for (const auto& [index, name] : listed) {
                if (!name.toLower().contains(search.toLower())) {
                    QVERIFY(!index.isValid());
                    continue;
                }
                if (staying++ < protectedRows)
                    QVERIFY2(index.isValid(), qPrintable(name));
                if (index.isValid())
                    QCOMPARE(index.data().toString(), name);
            }
        }
        QCOMPARE(resets.count(), 0);
    }

    void chosenOptionAndItsRow() {
        OptionList list;
        list.setItems(people());
        OptionFilterModel model;
        model.setOptions(&list);
        QCOMPARE(model.current(), option::none());
        QCOMPARE(model.selectedRow(), 0);

        model.setSelectedID(3);
        QCOMPARE(model.current().name, QStringLiteral("Семёнов С.С."));
        QCOMPARE(model.selectedRow(), 4);
        model.setSearch(QStringLiteral("сем"));
        QCOMPARE(model.selectedRow(), 0);
        QCOMPARE(model.idAt(0), 3);
        model.setSearch(QStringLiteral("ли"));
        QCOMPARE(model.selectedRow(), -1);
        QVERIFY(model.hasCurrent());

        // A new list without the chosen id: nothing is shown as chosen until a new choice.
        QSignalSpy selection(&model, &OptionFilterModel::selectionChanged);
        list.setItems({option::none(), {10, QStringLiteral("Лисицын Л.Л."), {}}});
        QVERIFY(selection.count() > 0);
        QVERIFY(!model.hasCurrent());
        QCOMPARE(model.current(), option());
        QCOMPARE(listedNames(model), QStringList{"Лисицын Л.Л."});
    }

    // An icon naming an https address anywhere is a picture, anything else a symbol.
    void iconIsPictureOrSymbol() {
        QVERIFY(
            (option{0, {}, QStringLiteral("https://media.example/t/1_thumb.png")}.iconIsImage()));
        QVERIFY((option{0, {}, QStringLiteral("not an address https")}.iconIsImage()));
        QVERIFY(!(option{0, {}, QStringLiteral("person.crop.circle.fill")}.iconIsImage()));
    }
};

QTEST_GUILESS_MAIN(TestOptionFilter)
#include "tst_optionfilter.moc"
