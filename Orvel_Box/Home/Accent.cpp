#include "Accent.h"

QColor Accent::from(const QVariantMap& settings, const QColor& fallback) {
    const QVariant value = settings.value(QStringLiteral("settings__accent_color"));
    return value.metaType() == QMetaType::fromType<QColor>() ? value.value<QColor>() : fallback;
}
