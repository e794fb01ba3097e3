#include "DeviceInfo.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

namespace {
// Marketing names in lookup order, each with the model identifiers that give it.
struct ModelRow {
    const char* name;
    std::initializer_list<const char*> ids;
};

const ModelRow modelTable[] = {
    {"iPhone 17 Pro", {"iPhone18,1"}},
    {"iPhone 17 Pro Max", {"iPhone18,2"}},
    {"iPhone 17", {"iPhone18,3"}},
    {"iPhone Air", {"iPhone18,4"}},
    {"iPhone 17e", {"iPhone18,5"}},
    {"iPhone 16 Pro", {"iPhone17,1"}},
    {"iPhone 16 Pro Max", {"iPhone17,2"}},
    {"iPhone 16", {"iPhone17,3"}},
    {"iPhone 16 Plus", {"iPhone17,4"}},
    {"iPhone 16e", {"iPhone17,5"}},
    {"iPhone 15", {"iPhone15,4"}},
    {"iPhone 15 Plus", {"iPhone15,5"}},
    {"iPhone 15 Pro", {"iPhone16,1"}},
    {"iPhone 15 Pro Max", {"iPhone16,2"}},
    {"iPhone 14", {"iPhone14,7"}},
    {"iPhone 14 Plus", {"iPhone14,8"}},
    {"iPhone 14 Pro", {"iPhone15,2"}},
    {"iPhone 14 Pro Max", {"iPhone15,3"}},
    {"iPhone 13", {"iPhone14,5"}},
    {"iPhone 13 mini", {"iPhone14,4"}},
    {"iPhone 13 Pro", {"iPhone14,2"}},
    {"iPhone 13 Pro Max", {"iPhone14,3"}},
    {"iPhone SE (3rd Gen)", {"iPhone14,6"}},
    {"iPhone 12 mini", {"iPhone13,1"}},
    {"iPhone 12", {"iPhone13,2"}},
    {"iPhone 12 Pro", {"iPhone13,3"}},
    {"iPhone 12 Pro Max", {"iPhone13,4"}},
    {"iPhone 11", {"iPhone12,1"}},
    {"iPhone 11 Pro", {"iPhone12,3"}},
    {"iPhone 11 Pro Max", {"iPhone12,5"}},
    {"iPhone SE (2nd Gen)", {"iPhone12,8"}},
    {"iPad Pro 11-inch (M5)", {"iPad17,1", "iPad17,2"}},
    {"iPad Pro 13-inch (M5)", {"iPad17,3", "iPad17,4"}},
    {"iPad Pro 11-inch (M4)", {"iPad16,3", "iPad16,4"}},
    {"iPad Pro 13-inch (M4)", {"iPad16,5", "iPad16,6"}},
    {"iPad Air 11-inch (M2)", {"iPad14,8", "iPad14,9"}},
    {"iPad Air 13-inch (M2)", {"iPad14,10", "iPad14,11"}},
    {"iPad (10th gen)", {"iPad13,18", "iPad13,19"}},
    {"iPad (11th gen)", {"iPad15,7", "iPad15,8"}},
    {"iPad mini (5th gen)", {"iPad11,1", "iPad11,2"}},
    {"iPad mini (6th gen)", {"iPad14,1", "iPad14,2"}},
    {"iPad mini (7th gen)", {"iPad16,1", "iPad16,2"}},
    {"iPad Air (3rd gen)", {"iPad11,3", "iPad11,4"}},
    {"iPad Air (4th gen)", {"iPad13,1", "iPad13,2"}},
    {"iPad Air (5th gen)", {"iPad13,16", "iPad13,17"}},
    {"iPad (8th gen)", {"iPad11,6", "iPad11,7"}},
    {"iPad (9th gen)", {"iPad12,1", "iPad12,2"}},
    {"iPad Pro 11-inch (4th gen)", {"iPad14,3", "iPad14,4"}},
    {"iPad Pro 12.9-inch (6th gen)", {"iPad14,5", "iPad14,6"}},
    {"iPad Pro 11-inch (3rd gen)", {"iPad13,4", "iPad13,5", "iPad13,6", "iPad13,7"}},
    {"iPad Pro 12.9-inch (5th gen)", {"iPad13,8", "iPad13,9", "iPad13,10", "iPad13,11"}},
    {"iPad Pro 11-inch (1st gen)", {"iPad8,1", "iPad8,2", "iPad8,3", "iPad8,4"}},
    {"iPad Pro 12.9-inch (3rd gen)", {"iPad8,5", "iPad8,6", "iPad8,7", "iPad8,8"}},
    {"iPad Pro 11-inch (2nd gen)", {"iPad8,9", "iPad8,10"}},
    {"iPad Pro 12.9-inch (4th gen)", {"iPad8,11", "iPad8,12"}},
    {"MacBook Air (M1, 2020)", {"MacBookAir10,1"}},
    {"MacBook Air (13-inch, M2, 2022)", {"Mac14,2"}},
    {"MacBook Air (15-inch, M2, 2023)", {"Mac14,15"}},
    {"MacBook Air (13-inch, M3, 2024)", {"Mac15,12"}},
    {"MacBook Air (15-inch, M3, 2024)", {"Mac15,13"}},
    {"MacBook Air (13-inch, M5, 2026)", {"Mac17,3"}},
    {"MacBook Air (15-inch, M5, 2026)", {"Mac17,4"}},
    {"MacBook Air (13-inch, M4, 2025)", {"Mac16,12"}},
    {"MacBook Air (15-inch, M4, 2025)", {"Mac16,13"}},
    {"MacBook Pro (13-inch, M1, 2020)", {"MacBookPro17,1"}},
    {"MacBook Pro (14-inch, M1 Pro/Max, 2021)", {"MacBookPro18,3", "MacBookPro18,4"}},
    {"MacBook Pro (16-inch, M1 Pro/Max, 2021)", {"MacBookPro18,1", "MacBookPro18,2"}},
    {"MacBook Pro (13-inch, M2, 2022)", {"Mac14,7"}},
    {"MacBook Pro (14-inch, M2 Pro/Max, 2023)", {"Mac14,5", "Mac14,9"}},
    {"MacBook Pro (16-inch, M2 Pro/Max, 2023)", {"Mac14,6", "Mac14,10"}},
    {"MacBook Pro (14-inch, M3, 2023)", {"Mac15,3"}},
    {"MacBook Pro (14-inch, M3 Pro/Max, 2023)", {"Mac15,6", "Mac15,8", "Mac15,10"}},
    {"MacBook Pro (16-inch, M3 Pro/Max, 2023)", {"Mac15,7", "Mac15,9", "Mac15,11"}},
    {"MacBook Pro (14-inch, M4, 2024)", {"Mac16,1"}},
    {"MacBook Pro (14-inch, M4 Pro/Max, 2024)", {"Mac16,5", "Mac16,6", "Mac16,8"}},
    {"MacBook Pro (16-inch, M4 Pro/Max, 2024)", {"Mac16,7", "Mac16,9"}},
    {"MacBook Pro (14-inch, M5, 2025)", {"Mac17,2"}},
    {"MacBook Pro (14-inch, M5 Pro/Max, 2025)", {"Mac17,9"}},
    {"MacBook Pro (16-inch, M5 Pro/Max, 2026)", {"Mac17,6", "Mac17,8"}},
};

const QHash<QString, QString>& modelNames() {
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> h;
        for (const ModelRow& row : modelTable)
            for (const char* id : row.ids)
                if (!h.contains(QLatin1String(id)))
                    h.insert(QLatin1String(id), QString::fromUtf8(row.name));
        return h;
    }();
    return names;
}

QString trimControls(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && (s.at(b).category() == QChar::Other_Control || s.at(b).isSpace()))
        ++b;
    while (e > b && (s.at(e - 1).category() == QChar::Other_Control || s.at(e - 1).isSpace()))
        --e;
    return s.mid(b, e - b);
}
} // namespace

QString DeviceInfo::modelIdentifierFromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("Unknown Mac");
    const QByteArray raw = f.read(4096);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(raw);
    if (decoder.hasError())
        return QStringLiteral("Unknown Mac");
    const QString trimmed = trimControls(text);
    return trimmed.isEmpty() ? QStringLiteral("Unknown Mac") : trimmed;
}

QString DeviceInfo::deviceModelIdentifier() {
    return modelIdentifierFromFile(QStringLiteral("/sys/class/dmi/id/product_name"));
}

QString DeviceInfo::deviceMarketingName(const QString& identifier) {
    return modelNames().value(identifier, identifier);
}

int DeviceInfo::modelTableSize() { return int(modelNames().size()); }
