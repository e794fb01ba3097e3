#pragma once
#include <QString>
#include <QUrl>

// The address a picture field names; text that is no valid absolute address gives an empty
// one, which fails to load and leaves the placeholder. Lessons, teachers, news and the
// profile all name their pictures this way.
QUrl pictureUrl(const QString& text);
