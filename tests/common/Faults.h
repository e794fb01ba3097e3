// Scripted answers of the stand-in, built one way in every test: each helper sets one aspect
// and takes the fault to add it to, so `delayed(300, answer(500))` reads as it acts.
#pragma once
#include "StandinServer.h"

namespace fault {
// The service's answer replaced by this one.
inline standin::Fault answer(int status, QByteArray body = {}, QByteArray contentType = {}) {
    standin::Fault f;
    f.status = status;
    f.body = std::move(body);
    f.contentType = std::move(contentType);
    return f;
}
// The answer (the service's own unless given) held back for `ms`.
inline standin::Fault delayed(int ms, standin::Fault f = {}) {
    f.delayMs = ms;
    return f;
}
// The connection closed without an answer. Qt resends a read once by itself, so a drop stays
// in force until cleared unless `times` says otherwise.
inline standin::Fault dropped(int times = -1) {
    standin::Fault f;
    f.drop = true;
    f.times = times;
    return f;
}
// Headers and part of the body (the service's own unless given), then the connection closes.
inline standin::Fault cut(standin::Fault f = {}) {
    f.dropMidBody = true;
    return f;
}
inline standin::Fault redirect(QString to) {
    standin::Fault f;
    f.redirectTo = std::move(to);
    return f;
}
// Only the next `n` requests meet it.
inline standin::Fault times(int n, standin::Fault f) {
    f.times = n;
    return f;
}
} // namespace fault
