// Drawn placeholder pictures (no real photos): portraits for teachers and accounts, street
// scenes for news. Every picture is fixed by its seed and size.
#pragma once

#include <QByteArray>

namespace standin::pictures {

QByteArray portrait(quint64 seed, int size);
QByteArray scene(quint64 seed, int width, int height);

} // namespace standin::pictures
