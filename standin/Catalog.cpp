#include "Catalog.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QSet>
#include <QTimeZone>
#include <QUrl>

namespace standin {

const QString Catalog::kNewsCollectionId = QStringLiteral("pbc_site_news01");

namespace {

constexpr quint64 kSeed = 0x0a5e11e5u;

// splitmix64: tiny, and its output is fixed by definition, unlike the standard distributions.
class Rng {
  public:
    explicit Rng(quint64 seed) : m_state(seed) {}
    quint64 next() {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T> const T& pick(const QList<T>& list) {
        return list[below(int(list.size()))];
    }

  private:
    quint64 m_state;
};

quint64 mix(quint64 a, quint64 b) {
    return Rng(a * 0x100000001b3ull ^ b).next();
}

const QStringList kDayNames{"Понедельник", "Вторник", "Среда",      "Четверг",
                            "Пятница",     "Суббота", "Воскресенье"};
const QStringList kSlots{"08:30-09:50", "10:00-11:20", "11:40-13:00",
                         "13:30-14:50", "15:00-16:20", "16:30-17:50"};

struct Kind {
    const char* tag;
    const char* label;
    int weight;
};
// Every tag the lesson card knows, "(Вне)" included.
const Kind kKinds[] = {
    {"(Лек)", "Лекция", 28},
    {"(ПЗ)", "Практическое занятие", 30},
    {"(Лаб)", "Лабораторная работа", 16},
    {"(Вне)", "Внеаудиторное занятие", 6},
    {"(Куср)", "КУСР", 6},
    {"(Конс)", "Консультация", 5},
    {"(Зач)", "Зачет", 5},
    {"(Экз)", "Экзамен", 4},
};

const Kind& pickKind(Rng& rng) {
    int roll = rng.below(100);
    for (const Kind& k : kKinds) {
        if (roll < k.weight)
            return k;
        roll -= k.weight;
    }
    return kKinds[0];
}

const Kind& kindOf(const QString& subject) {
    for (const Kind& k : kKinds)
        if (subject.endsWith(QString::fromUtf8(k.tag)))
            return k;
    return kKinds[0];
}

QList<Faculty> makeFaculties() {
    return {
        {1,
         "Педагогический факультет",
         "ПФ",
         "педагогических наук",
         {"Кафедра педагогики и методики начального образования",
          "Кафедра дошкольного образования"},
         {"Педагогика", "Методика преподавания математики", "Детская литература",
          "Возрастная психология", "Методика преподавания русского языка", "Основы дефектологии",
          "История образования"}},
        {2,
         "Факультет гуманитарного знания и коммуникаций",
         "ГЗК",
         "филологических наук",
         {"Кафедра русского языка и литературы", "Кафедра журналистики и коммуникаций"},
         {"Современный русский язык", "История русской литературы", "Основы журналистики",
          "Стилистика", "Теория коммуникации", "Английский язык", "Философия"}},
        {3,
         "Факультет математики и информационных технологий",
         "МИТ",
         "физико-математических наук",
         {"Кафедра высшей математики", "Кафедра информационных технологий"},
         {"Математический анализ", "Линейная алгебра", "Программирование", "Базы данных",
          "Дискретная математика", "Компьютерные сети", "Теория вероятностей"}},
        {4,
         "Факультет обучения иностранных граждан",
         "ОИГ",
         "филологических наук",
         {"Кафедра русского языка как иностранного", "Кафедра довузовской подготовки"},
         {"Русский язык как иностранный", "Практическая грамматика", "Страноведение",
          "Основы математики", "Научный стиль речи", "Культура речи"}},
        {5,
         "Факультет социальной педагогики и психологии",
         "СПП",
         "психологических наук",
         {"Кафедра психологии", "Кафедра социальной педагогики"},
         {"Общая психология", "Социальная педагогика", "Психодиагностика", "Конфликтология",
          "Социальная работа", "Психология развития"}},
        {6,
         "Факультет физической культуры и спорта",
         "ФКС",
         "педагогических наук",
         {"Кафедра теории и методики физического воспитания", "Кафедра спортивных дисциплин"},
         {"Теория физической культуры", "Лёгкая атлетика", "Плавание", "Спортивные игры",
          "Анатомия человека", "Гимнастика", "Физиология спорта"}},
        {7,
         "Факультет химико-биологических и географических наук",
         "ХБГ",
         "биологических наук",
         {"Кафедра химии", "Кафедра биологии и географии"},
         {"Общая химия", "Органическая химия", "Ботаника", "Зоология", "Физическая география",
          "Экология", "Генетика"}},
        {8,
         "Художественно-графический факультет",
         "ХГФ",
         "искусствоведения",
         {"Кафедра изобразительного искусства", "Кафедра дизайна"},
         {"Рисунок", "Живопись", "Композиция", "История искусств",
          "Декоративно-прикладное искусство", "Компьютерная графика", "Скульптура"}},
        {9,
         "Юридический факультет",
         "ЮФ",
         "юридических наук",
         {"Кафедра гражданского права", "Кафедра уголовного права и процесса"},
         {"Теория государства и права", "Гражданское право", "Уголовное право",
          "Конституционное право", "Римское право", "Криминалистика", "Трудовое право"}},
    };
}

const QStringList kSurnames{
    "Иванов",      "Петров",     "Смирнов",    "Кузнецов",  "Попов",     "Васильев",   "Соколов",
    "Михайлов",    "Новиков",    "Фёдоров",    "Морозов",   "Волков",    "Алексеев",   "Лебедев",
    "Семёнов",     "Егоров",     "Павлов",     "Козлов",    "Степанов",  "Николаев",   "Орлов",
    "Андреев",     "Макаров",    "Никитин",    "Захаров",   "Зайцев",    "Соловьёв",   "Борисов",
    "Яковлев",     "Григорьев",  "Романов",    "Воробьёв",  "Сергеев",   "Кузьмин",    "Фролов",
    "Дмитриев",    "Королёв",    "Гусев",      "Киселёв",   "Ильин",     "Максимов",   "Поляков",
    "Сорокин",     "Виноградов", "Ковалёв",    "Белов",     "Медведев",  "Антонов",    "Тарасов",
    "Жуков",       "Баранов",    "Филиппов",   "Комаров",   "Давыдов",   "Беляев",     "Герасимов",
    "Богданов",    "Осипов",     "Сидоров",    "Матвеев",   "Титов",     "Марков",     "Миронов",
    "Крылов",      "Куликов",    "Карпов",     "Власов",    "Мельников", "Денисов",    "Гаврилов",
    "Тихонов",     "Казаков",    "Данилов",    "Тимофеев",  "Фомин",     "Чернов",     "Мартынов",
    "Ковалевский", "Вишневский", "Островский", "Коваленко", "Шевчук",    "Бондаренко", "Ткаченко"};
const QStringList kMaleNames{"Александр",  "Алексей",  "Андрей",   "Антон",   "Борис",   "Вадим",
                             "Виктор",     "Владимир", "Геннадий", "Дмитрий", "Евгений", "Игорь",
                             "Константин", "Максим",   "Михаил",   "Николай", "Олег",    "Павел",
                             "Пётр",       "Роман",    "Сергей",   "Юрий"};
const QStringList kFemaleNames{"Анна",    "Алла",      "Валентина", "Вера",  "Галина",
                               "Дарья",   "Екатерина", "Елена",     "Жанна", "Ирина",
                               "Людмила", "Марина",    "Наталья",   "Нина",  "Оксана",
                               "Ольга",   "Светлана",  "Татьяна",   "Юлия"};
const QStringList kPatronymicStems{"Александров", "Алексеев", "Андреев", "Борисов", "Викторов",
                                   "Владимиров",  "Дмитриев", "Иванов",  "Игорев",  "Михайлов",
                                   "Николаев",    "Олегов",   "Павлов",  "Петров",  "Сергеев",
                                   "Геннадьев",   "Евгеньев", "Юрьев"};

QString femaleSurname(const QString& s) {
    if (s.endsWith("ский"))
        return s.chopped(2) + "ая";
    for (const char* end : {"ов", "ев", "ёв", "ин"})
        if (s.endsWith(QString::fromUtf8(end)))
            return s + "а";
    return s;
}

QString years(int n) {
    const int tens = n % 100, ones = n % 10;
    if (tens >= 11 && tens <= 14)
        return QStringLiteral("%1 лет").arg(n);
    if (ones == 1)
        return QStringLiteral("%1 год").arg(n);
    if (ones >= 2 && ones <= 4)
        return QStringLiteral("%1 года").arg(n);
    return QStringLiteral("%1 лет").arg(n);
}

QList<Teacher> makeTeachers(const QList<Faculty>& faculties) {
    Rng rng(kSeed);
    QList<Teacher> out;
    QSet<QString> taken;
    static const QStringList titles{"Доцент", "Старший преподаватель", "Профессор", "Преподаватель",
                                    "Заведующий"};
    while (out.size() < 150) {
        const bool female = rng.chance(55);
        const QString surname = female ? femaleSurname(rng.pick(kSurnames)) : rng.pick(kSurnames);
        const QString first = female ? rng.pick(kFemaleNames) : rng.pick(kMaleNames);
        const QString patronymic = rng.pick(kPatronymicStems) + (female ? "на" : "ич");
        const QString shortName =
            QStringLiteral("%1 %2.%3.").arg(surname, first.left(1), patronymic.left(1));
        if (taken.contains(shortName))
            continue;
        taken.insert(shortName);

        Teacher t;
        t.id = int(out.size()) + 1;
        const Faculty& f = faculties[int(out.size()) % faculties.size()];
        t.facultyId = f.id;
        t.name = shortName;
        t.fullName = QStringLiteral("%1 %2 %3").arg(surname, first, patronymic);
        t.department = f.departments[rng.below(int(f.departments.size()))];
        const int first_subject = rng.below(int(f.subjects.size()));
        for (int i = 0, n = 2 + rng.below(2); i < n; ++i)
            t.subjects.append(f.subjects[(first_subject + i * 3) % f.subjects.size()]);
        QString title = rng.pick(titles);
        if (title == "Заведующий")
            title = female ? "Заведующая" : "Заведующий";
        const QString degree = rng.chance(60) ? QStringLiteral(", кандидат ") + f.degreeField : "";
        QStringList quoted;
        for (const QString& s : t.subjects)
            quoted.append("«" + s + "»");
        const QString ofDepartment = "кафедры" + t.department.mid(QString("Кафедра").size());
        t.description =
            QStringLiteral("%1 %2%3. Стаж педагогической работы — %4. Ведёт "
                           "дисциплины: %5.")
                .arg(title, ofDepartment, degree, years(3 + rng.below(30)), quoted.join(", "));
        t.hasPhoto = t.id % 10 != 7;
        out.append(t);
    }
    return out;
}

QList<Group> makeGroups(const QList<Faculty>& faculties) {
    Rng rng(kSeed ^ 0x6709);
    QList<Group> out;
    for (const Faculty& f : faculties) {
        int k = 0;
        for (int year = 22; year <= 25; ++year)
            for (int i = 1, n = 1 + rng.below(2); i <= n; ++i)
                out.append({f.id * 100 + ++k, f.id,
                            QStringLiteral("%1-%2%3").arg(f.code).arg(year).arg(i), year});
    }
    return out;
}

QList<NewsItem> makeNews() {
    static const QStringList titles{
        "Студенты университета стали призёрами республиканской олимпиады по математике",
        "На педагогическом факультете прошла неделя открытых дверей",
        "Открыт приём заявок на конкурс студенческих научных работ",
        "Преподаватели провели мастер-класс для школьников города",
        "В университете прошёл день донора",
        "Сборная университета по волейболу выиграла областной турнир",
        "Подведены итоги летней экзаменационной сессии",
        "Состоялась международная научно-практическая конференция «Образование и общество»",
        "Студенческий совет подвёл итоги года",
        "Открыта выставка работ художественно-графического факультета",
        "Выпускники юридического факультета встретились со студентами",
        "Волонтёры университета помогли ветеранам в канун праздника",
        "Началась запись в спортивные секции",
        "Иностранные студенты представили культуру своих стран",
        "В библиотеке открылась книжная выставка к юбилею университета",
        "Будущие психологи прошли практику в социальных центрах",
        "Химики университета получили грант на исследования",
        "Команда программистов вышла в полуфинал студенческого чемпионата",
        "В общежитиях завершился ремонт",
        "Стартовала приёмная кампания",
        "Студенты-журналисты выпустили новый номер газеты",
        "Прошёл турнир по шахматам среди преподавателей и студентов",
        "Университет подписал договор о сотрудничестве с зарубежным вузом",
        "Экологический десант высадил аллею у главного корпуса",
        "Лекция о цифровой безопасности собрала полный зал",
        "Хор университета стал лауреатом фестиваля",
        "Первокурсников посвятили в студенты",
        "Открылась обновлённая лаборатория компьютерной графики",
        "Студенты приняли участие в географической экспедиции",
        "Ректор встретился с активом студенческого самоуправления"};
    static const QStringList authors{"Пресс-служба университета", "Студенческий совет",
                                     "Редакция сайта", "Информационный центр"};
    static const QStringList fillers{
        "Мероприятие собрало студентов и преподавателей разных факультетов.",
        "Организаторы благодарят всех участников за активность и интерес.",
        "Подробности можно узнать в деканатах и у кураторов учебных групп.",
        "Следующая встреча запланирована на конец семестра.",
        "Фотографии с события опубликованы в официальных группах университета."};
    Rng rng(kSeed ^ 0x4e3);
    const QDate today = QDate::currentDate();
    QList<NewsItem> out;
    int daysBack = 0;
    for (const QString& title : titles) {
        NewsItem n;
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int i = 0; i < 15; ++i)
            n.id += QLatin1Char(alphabet[rng.below(36)]);
        n.title = title;
        n.author = rng.pick(authors);
        n.date = today.addDays(-daysBack);
        daysBack += 2 + rng.below(4);
        n.preview = QStringLiteral("preview_%1.png").arg(n.id.left(10));
        n.paragraphs = {title + ".", rng.pick(fillers), rng.pick(fillers)};
        out.append(n);
    }
    return out;
}

} // namespace

Catalog::Catalog(bool withDemoData) {
    if (!withDemoData)
        return;
    m_faculties = makeFaculties();
    m_groups = makeGroups(m_faculties);
    m_teachers = makeTeachers(m_faculties);
    m_news = makeNews();
    // The public faculty list of the university's site carries this leftover entry too.
    m_faculties.append({10, "Расширенная настройка cookie", "", "", {}, {}});
}

QString Catalog::demoTeacherName() {
    static const QString name = makeTeachers(makeFaculties()).first().name;
    return name;
}

QStringList Catalog::facultyNames() {
    QStringList names;
    for (const Faculty& f : makeFaculties())
        names.append(f.name);
    return names;
}

QDate Catalog::mondayOf(QDate day) {
    return day.addDays(1 - day.dayOfWeek());
}

QString Catalog::dayName(QDate day) {
    return kDayNames.value(day.dayOfWeek() - 1);
}

QList<Group> Catalog::groupsOf(int facultyId) const {
    QList<Group> out;
    for (const Group& g : m_groups)
        if (g.facultyId == facultyId)
            out.append(g);
    return out;
}

const Faculty* Catalog::faculty(const QString& name) const {
    for (const Faculty& f : m_faculties)
        if (f.name == name)
            return &f;
    return nullptr;
}

const Group* Catalog::group(int facultyId, const QString& name) const {
    for (const Group& g : m_groups)
        if (g.facultyId == facultyId && g.name == name)
            return &g;
    return nullptr;
}

const Group* Catalog::groupById(int id) const {
    for (const Group& g : m_groups)
        if (g.id == id)
            return &g;
    return nullptr;
}

const Teacher* Catalog::teacher(const QString& name) const {
    for (const Teacher& t : m_teachers)
        if (t.name == name)
            return &t;
    return nullptr;
}

const Teacher* Catalog::teacher(int id) const {
    return id >= 1 && id <= m_teachers.size() ? &m_teachers[id - 1] : nullptr;
}

const NewsItem* Catalog::newsItem(const QString& id) const {
    for (const NewsItem& n : m_news)
        if (n.id == id)
            return &n;
    return nullptr;
}

// All groups of a faculty are planned together, pair by pair, so that a teacher is never in
// two places at once and combined lectures share one event.
const QList<Lesson>& Catalog::facultyWeek(int facultyId, QDate monday) const {
    const auto key = qMakePair(facultyId, monday.toJulianDay());
    auto cached = m_weeks.constFind(key);
    if (cached != m_weeks.constEnd())
        return *cached;

    Rng rng(mix(mix(kSeed, quint64(facultyId)), quint64(monday.toJulianDay())));
    const QList<Group> groups = groupsOf(facultyId);
    QList<const Teacher*> staff;
    for (const Teacher& t : m_teachers)
        if (t.facultyId == facultyId)
            staff.append(&t);

    QList<Lesson> week;
    for (int day = 0; day < 6 && !staff.isEmpty(); ++day) {
        QHash<int, QPair<int, int>> plan; // group -> first pair, count
        for (const Group& g : groups) {
            const int count = day == 5 ? (rng.chance(55) ? 0 : 1 + rng.below(3))
                                       : (rng.chance(8) ? 0 : 2 + rng.below(3));
            plan.insert(g.id, {rng.chance(75) ? 0 : 1, count});
        }
        for (int slot = 0; slot < kSlots.size(); ++slot) {
            QList<Group> waiting;
            for (const Group& g : groups)
                if (slot >= plan[g.id].first && slot < plan[g.id].first + plan[g.id].second)
                    waiting.append(g);
            QSet<int> busyTeachers;
            QSet<QString> busyRooms;
            while (!waiting.isEmpty()) {
                const Group main = waiting.takeFirst();
                const Kind& kind = pickKind(rng);
                Lesson l;
                l.date = monday.addDays(day);
                l.number = slot + 1;
                l.facultyId = facultyId;
                l.groupIds = {main.id};
                l.id = monday.toJulianDay() * 100000 + (day * 6 + slot) * 1000 + main.id;
                if (QByteArray(kind.tag) == "(Лек)" && rng.chance(65)) {
                    for (qsizetype i = 0; i < waiting.size() && l.groupIds.size() < 3;) {
                        if (waiting[i].year == main.year)
                            l.groupIds.append(waiting.takeAt(i).id);
                        else
                            ++i;
                    }
                }
                if (QByteArray(kind.tag) == "(Вне)") {
                    l.subject = QStringLiteral("Информационный час (Вне)");
                    week.append(l);
                    continue;
                }
                const int start = rng.below(int(staff.size()));
                for (int i = 0; i < staff.size() && l.teacherId == 0; ++i) {
                    const Teacher* t = staff[(start + i) % staff.size()];
                    if (!busyTeachers.contains(t->id))
                        l.teacherId = t->id;
                }
                if (l.teacherId == 0)
                    continue; // nobody free: the group simply has no pair then
                busyTeachers.insert(l.teacherId);
                const Teacher* t = teacher(l.teacherId);
                l.subject = t->subjects[rng.below(int(t->subjects.size()))] + " " +
                            QString::fromUtf8(kind.tag);
                if (!rng.chance(5)) {
                    do {
                        l.classroom = QStringLiteral("%1-%2%3")
                                          .arg((facultyId - 1) % 4 + 1)
                                          .arg(1 + rng.below(4))
                                          .arg(1 + rng.below(20), 2, 10, QLatin1Char('0'));
                    } while (busyRooms.contains(l.classroom));
                    busyRooms.insert(l.classroom);
                }
                week.append(l);
            }
        }
    }
    return *m_weeks.insert(key, week);
}

static bool inCoveredWeeks(QDate monday) {
    const QDate current = Catalog::mondayOf(QDate::currentDate());
    return monday >= current.addDays(7 * Catalog::kFirstOffset) &&
           monday <= current.addDays(7 * Catalog::kLastOffset);
}

QList<Lesson> Catalog::groupWeek(int groupId, QDate monday) const {
    QList<Lesson> out;
    if (!inCoveredWeeks(monday))
        return out;
    for (const Lesson& l : facultyWeek(groupId / 100, monday))
        if (l.groupIds.contains(groupId))
            out.append(l);
    return out;
}

QList<Lesson> Catalog::teacherWeek(int teacherId, QDate monday) const {
    QList<Lesson> out;
    const Teacher* t = teacher(teacherId);
    if (!t || !inCoveredWeeks(monday))
        return out;
    for (const Lesson& l : facultyWeek(t->facultyId, monday))
        if (l.teacherId == teacherId)
            out.append(l);
    return out;
}

static QString teacherPhoto(const Teacher& t, const QString& origin, bool thumb) {
    if (!t.hasPhoto)
        return {};
    return QStringLiteral("%1/media/teachers/%2%3.png")
        .arg(origin)
        .arg(t.id)
        .arg(thumb ? "_thumb" : "");
}

static qint64 midnightSecs(QDate d) {
    return QDateTime(d, QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
}

static int minutes(const QString& hhmm) {
    return hhmm.left(2).toInt() * 60 + hhmm.mid(3, 2).toInt();
}

QJsonObject Catalog::lessonJson(const Lesson& l, int viewerGroupId, const QString& origin) const {
    QJsonArray attending;
    for (int id : l.groupIds)
        if (id != viewerGroupId)
            attending.append(groupById(id)->name);
    const QString mainName = groupById(l.groupIds.first())->name;
    const Group* own = groupById(viewerGroupId ? viewerGroupId : l.groupIds.first());

    const Teacher* t = teacher(l.teacherId);
    const Faculty& f = m_faculties[l.facultyId - 1];
    const QString time = kSlots[l.number - 1];
    const bool combined = l.groupIds.size() > 1;
    QJsonObject o{
        {"classroom", l.classroom},
        {"combined_main_groups", combined ? QJsonArray{mainName} : QJsonArray{}},
        {viewerGroupId ? "combined_with" : "combined_groups", attending},
        {"date", l.date.toString("dd.MM.yyyy")},
        {"dateTs", midnightSecs(l.date)},
        {"day", dayName(l.date)},
        {"faculty_id", f.id},
        {"faculty_name", f.name},
        {"group_id", own->id},
        {"group_name", own->name},
        {"hash",
         QString::fromLatin1(QCryptographicHash::hash((QString::number(l.id) + l.subject).toUtf8(),
                                                      QCryptographicHash::Md5)
                                 .toHex()
                                 .left(16))},
        {"id", l.id},
        {"is_combined", combined},
        {"lessonType", QString::fromUtf8(kindOf(l.subject).label)},
        {"number", l.number},
        {"source", "standin"},
        {"subject", l.subject},
        {"teacher", t ? t->name : QString()},
        {"teacher_full_name", t ? t->fullName : QString()},
        {"teacher_photo", t ? teacherPhoto(*t, origin, false) : QString()},
        {"time", time},
        {"timeupdate", midnightSecs(mondayOf(l.date).addDays(-3))},
        {"timeLESSON_start", minutes(time.left(5))},
        {"timeLESSON_end", minutes(time.mid(6))},
    };
    return o;
}

QJsonObject Catalog::teacherJson(const Teacher& t, const QString& origin) const {
    QJsonArray subjects;
    for (const QString& s : t.subjects)
        subjects.append(s);
    return {{"id", t.id},
            {"name", t.name},
            {"full_name", t.fullName},
            {"department", t.department},
            {"description", t.description},
            {"photo_url", teacherPhoto(t, origin, false)},
            {"photo_thumb_url", teacherPhoto(t, origin, true)},
            {"faculty_id", t.facultyId},
            {"faculty_name", m_faculties[t.facultyId - 1].name},
            {"subjects", subjects}};
}

} // namespace standin
