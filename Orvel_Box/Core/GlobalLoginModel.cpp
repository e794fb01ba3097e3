#include "GlobalLoginModel.h"

#include "AppInfo.h"
#include "JsonRead.h"
#include "Log.h"
#include "Toolkit.h"

GlobalLoginModel::GlobalLoginModel(QObject* parent) : QObject(parent) {}

void GlobalLoginModel::setCo(CO* co) {
    if (co == m_co)
        return;
    m_co = co;
    emit coChanged();
}

void GlobalLoginModel::setLogin(const QString& text) {
    if (text == m_login)
        return;
    m_login = text;
    emit loginChanged();
}

void GlobalLoginModel::setPassword(const QString& text) {
    if (text == m_password)
        return;
    m_password = text;
    emit passwordChanged();
}

void GlobalLoginModel::setFlags(bool loading, bool isError) {
    const bool loadingChanges = loading != m_loading;
    const bool errorChanges = isError != m_isError;
    m_loading = loading;
    m_isError = isError;
    if (loadingChanges)
        emit loadingChanged();
    if (errorChanges)
        emit isErrorChanged();
}

namespace {
struct NoticePart {
    QString text;
    QString sitePath; // empty for plain words
};

const QList<NoticePart>& noticeParts() {
    static const QList<NoticePart> parts{
        {QStringLiteral("Нажимая кнопку войти вы соглашаетесь с настоящим "), {}},
        {QStringLiteral("пользовательским соглашением"), QStringLiteral("/user-agreement")},
        {QStringLiteral(" а также с "), {}},
        {QStringLiteral("политикой конфиденциальности"), QStringLiteral("/privacy")},
    };
    return parts;
}

QString sitePageLink(const QString& path) {
    return AppInfo::sitePage(path).toString(QUrl::FullyEncoded);
}
} // namespace

QString GlobalLoginModel::notice() const {
    QString styled;
    for (const NoticePart& part : noticeParts())
        styled += part.sitePath.isEmpty()
                      ? part.text
                      : QStringLiteral("<a href=\"%1\">%2</a>")
                            .arg(sitePageLink(part.sitePath).toHtmlEscaped(), part.text);
    return styled;
}

QString GlobalLoginModel::noticeText() const {
    QString plain;
    for (const NoticePart& part : noticeParts())
        plain += part.text;
    return plain;
}

QVariantList GlobalLoginModel::noticeLinks() const {
    QVariantList links;
    for (const NoticePart& part : noticeParts())
        if (!part.sitePath.isEmpty())
            links.append(QVariantMap{{QStringLiteral("text"), part.text},
                                     {QStringLiteral("url"), sitePageLink(part.sitePath)}});
    return links;
}

void GlobalLoginModel::openLink(const QString& link) {
    Toolkit::instance()->openUrl(QUrl(link));
}

void GlobalLoginModel::signIn() {
    if (m_loading || !m_co)
        return;
    signInTask();
}

QCoro::Task<void> GlobalLoginModel::signInTask() {
    QPointer<GlobalLoginModel> self(this);
    QPointer<CO> co = m_co;
    if (!co)
        co_return;
    setFlags(true, false);
    const ApiResult answer = co_await co->api()->login(m_login, m_password);
    if (!self)
        co_return;
    if (!answer) {
        Log::line(Log::session(), answer.error().description());
        setFlags(false, true);
        co_return;
    }
    // Only 1 (or true) is a success; an answer without a number there is a refusal too.
    const bool accepted = Json::integer(answer.value().value(QStringLiteral("success"))) == 1;
    setFlags(false, !accepted);
    // Last: entering home replaces this screen, and this model with it.
    if (accepted && co) {
        co->noteAccount(answer.value());
        co->setAppState(CO::appStates::home);
    }
}
